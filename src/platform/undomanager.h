#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

// Records undo steps as closures registered against a target object, grouped into one step per
// user event, and replays them. Undoing a step runs its closures; every closure is expected to
// perform the inverse change and register the inverse of that in turn, and those registrations
// become the redo step. So redo needs no code of its own: undo and redo keep trading one step.
//
// Grouping: a registration made while no group is open opens an implicit group that closes when
// control returns to the event loop (or when undo(), redo() or closeImplicitGroup() is called).
// beginUndoGrouping() / endUndoGrouping() open and close explicit groups; they nest, and only the
// outermost group becomes a step.
//
// Everything runs on the GUI thread. Closures may register, remove targets or even call undo()
// (which is refused while a step is being replayed) without disturbing the manager's bookkeeping.
class UndoManager : public QObject
{
    Q_OBJECT
public:
    explicit UndoManager(QObject *parent = nullptr);
    ~UndoManager() override;

    void registerUndo(const void *target, std::function<void()> action);

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_level; }
    // Closes the group opened by a registration outside any explicit group; the event loop does
    // the same at the end of the current pass.
    void closeImplicitGroup();

    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;
    bool isUndoing() const { return m_mode == Mode::Undoing; }
    bool isRedoing() const { return m_mode == Mode::Redoing; }

    void removeAllActionsWithTarget(const void *target);
    void removeAllActions();

    // Names the step being recorded: during undo the redo step, during redo the undo step.
    void setActionName(const QString &name);
    QString undoActionName() const;
    QString redoActionName() const;
    QString undoMenuItemTitle() const;
    QString redoMenuItemTitle() const;

    // Keeps at most this many undo steps (and redo steps); 0 means no limit.
    void setLevelsOfUndo(int levels);
    int levelsOfUndo() const { return m_levels; }

signals:
    // Emitted whenever the stacks or the step names change; the Edit menu follows it.
    void changed();

private:
    struct Action
    {
        const void *target = nullptr;
        std::function<void()> run; // empty once run or removed
    };
    struct Group
    {
        std::vector<Action> actions;
        QString name;
        bool isEmpty() const;
    };
    enum class Mode { Normal, Undoing, Redoing };

    void openGroup();
    void commitOpenGroup();
    void scheduleImplicitClose();
    void replay(std::vector<Group> &from, std::vector<Group> &to, Mode mode);
    void trim(std::vector<Group> &stack, std::vector<Group> &graveyard);

    std::vector<Group> m_undoStack; // back() is the most recent step
    std::vector<Group> m_redoStack;
    Group m_openGroup;     // the group being recorded outside undo/redo (when m_level > 0)
    Group m_replayGroup;   // the group being replayed by undo()/redo()
    Group m_recordedGroup; // registrations made while replaying
    int m_level = 0;
    bool m_implicitOpen = false;
    quint64 m_implicitGeneration = 0;
    Mode m_mode = Mode::Normal;
    int m_levels = 0;
};
