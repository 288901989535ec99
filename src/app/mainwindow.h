#pragma once

#include <QList>
#include <QMainWindow>

class Controller;
class QAction;
class QMenu;
class UndoGestureFilter;
class UndoManager;

// The main window: builds every widget of the window and its menus, connects them to the
// controller as outlets and actions, and forwards the window's events to the controller, which is
// the window's delegate.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Controller *controller() const { return m_controller; }
    UndoManager *undoManager() const { return m_undoManager; }
    // Groups the undo registrations of one mouse gesture into one step.
    UndoGestureFilter *undoGesture() const { return m_undoGesture; }
    // Every menu item that carries an action name (validated by the controller).
    QList<QAction *> menuActions() const { return m_menuActions; }
    // The menu item for an action name ("undo:", "selectMenuMode:" with tag...), or null.
    QAction *menuAction(const QString &action, int tag = 0) const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildWidgets();
    void buildMenus();
    QAction *addItem(QMenu *menu, const QString &title, const char *action, const QKeySequence &shortcut,
                     void (Controller::*slot)());

    UndoManager *m_undoManager = nullptr;
    UndoGestureFilter *m_undoGesture = nullptr;
    Controller *m_controller = nullptr;
    QList<QAction *> m_menuActions;
    bool m_shown = false;
};
