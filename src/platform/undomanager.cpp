#include "undomanager.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMetaObject>

#include <algorithm>
#include <utility>

// Closures may hold the last reference to objects whose destructors call back into this manager
// (an effect removing its own actions, for instance). Whenever closures are dropped they are first
// moved into a local "graveyard" and destroyed only after the bookkeeping is consistent again, so
// such callbacks never see a container in the middle of being modified.
namespace {
using Graveyard = std::vector<std::function<void()>>;
}

bool UndoManager::Group::isEmpty() const
{
    return std::none_of(actions.begin(), actions.end(), [](const Action &a) { return bool(a.run); });
}

UndoManager::UndoManager(QObject *parent) : QObject(parent) {}

UndoManager::~UndoManager()
{
    // Drop every closure while the members are still intact (see the graveyard note above).
    Graveyard graveyard;
    auto bury = [&graveyard](Group &group) {
        for (Action &action : group.actions)
            if (action.run) graveyard.push_back(std::move(action.run));
        group.actions.clear();
    };
    std::vector<Group> undoStack = std::move(m_undoStack);
    std::vector<Group> redoStack = std::move(m_redoStack);
    m_undoStack.clear();
    m_redoStack.clear();
    for (Group &g : undoStack) bury(g);
    for (Group &g : redoStack) bury(g);
    bury(m_openGroup);
    bury(m_replayGroup);
    bury(m_recordedGroup);
}

void UndoManager::registerUndo(const void *target, std::function<void()> action)
{
    if (!action) {
        qWarning("UndoManager: ignoring an empty undo action");
        return;
    }
    if (m_mode != Mode::Normal) {
        // Undoing or redoing: this is the inverse of the step being replayed.
        m_recordedGroup.actions.push_back({target, std::move(action)});
        return;
    }
    if (m_level == 0) {
        openGroup();
        m_level = 1;
        m_implicitOpen = true;
        ++m_implicitGeneration;
        scheduleImplicitClose();
    }
    m_openGroup.actions.push_back({target, std::move(action)});

    // A new change makes the redo steps meaningless.
    std::vector<Group> dropped = std::move(m_redoStack);
    m_redoStack.clear();
    emit changed();
}

void UndoManager::beginUndoGrouping()
{
    if (m_mode == Mode::Normal && m_level == 0) openGroup();
    ++m_level;
}

void UndoManager::endUndoGrouping()
{
    if (m_level == 0) {
        qWarning("UndoManager: endUndoGrouping() without a matching beginUndoGrouping()");
        return;
    }
    --m_level;
    if (m_mode != Mode::Normal) return; // groups inside a replay all join the recorded step
    if (m_level == 0)
        commitOpenGroup();
    else if (m_level == 1 && m_implicitOpen)
        scheduleImplicitClose(); // the implicit group is the only one left open
}

void UndoManager::closeImplicitGroup()
{
    // An explicit group still open inside the implicit one keeps it open; it is closed again once
    // the explicit group ends (endUndoGrouping schedules that).
    if (!m_implicitOpen || m_level != 1 || m_mode != Mode::Normal) return;
    m_level = 0;
    commitOpenGroup();
}

void UndoManager::openGroup()
{
    m_openGroup = Group{};
    m_implicitOpen = false;
}

void UndoManager::commitOpenGroup()
{
    Group group = std::move(m_openGroup);
    m_openGroup = Group{};
    m_implicitOpen = false;
    if (group.isEmpty()) return;
    m_undoStack.push_back(std::move(group));
    std::vector<Group> dropped;
    trim(m_undoStack, dropped);
    emit changed();
}

void UndoManager::scheduleImplicitClose()
{
    // Queued, so it runs when control is back in the event loop: everything registered while
    // handling one user event becomes one step. The generation check keeps a stale request from
    // closing a later implicit group early. Without an event loop (command-line use) the group
    // stays open until undo(), redo() or closeImplicitGroup().
    if (!QCoreApplication::instance()) return;
    const quint64 generation = m_implicitGeneration;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (m_implicitOpen && m_implicitGeneration == generation) closeImplicitGroup();
        },
        Qt::QueuedConnection);
}

void UndoManager::undo()
{
    if (m_mode != Mode::Normal) {
        qWarning("UndoManager: undo() ignored while a step is being undone or redone");
        return;
    }
    closeImplicitGroup();
    if (m_level > 0) {
        qWarning("UndoManager: undo() ignored while an undo group is open");
        return;
    }
    if (!m_undoStack.empty()) replay(m_undoStack, m_redoStack, Mode::Undoing);
}

void UndoManager::redo()
{
    if (m_mode != Mode::Normal) {
        qWarning("UndoManager: redo() ignored while a step is being undone or redone");
        return;
    }
    closeImplicitGroup();
    if (m_level > 0) {
        qWarning("UndoManager: redo() ignored while an undo group is open");
        return;
    }
    if (!m_redoStack.empty()) replay(m_redoStack, m_undoStack, Mode::Redoing);
}

void UndoManager::replay(std::vector<Group> &from, std::vector<Group> &to, Mode mode)
{
    m_replayGroup = std::move(from.back());
    from.pop_back();
    m_recordedGroup = Group{};
    // The inverse step keeps the name unless a closure renames it.
    m_recordedGroup.name = m_replayGroup.name;
    m_mode = mode;

    // Latest registration first. Entries are never erased from m_replayGroup while it runs (a
    // removal only empties them), so the index stays valid; each closure is moved out before it
    // runs so that removing its own target cannot destroy it mid-call.
    for (std::size_t i = m_replayGroup.actions.size(); i-- > 0;) {
        std::function<void()> run = std::move(m_replayGroup.actions[i].run);
        m_replayGroup.actions[i].run = nullptr;
        if (run) run();
    }

    m_mode = Mode::Normal;
    if (m_level != 0) {
        qWarning("UndoManager: an undo action left %d undo group(s) open; closing them", m_level);
        m_level = 0;
    }
    Group recorded = std::move(m_recordedGroup);
    m_recordedGroup = Group{};
    m_replayGroup = Group{};
    std::vector<Group> dropped;
    if (!recorded.isEmpty()) {
        to.push_back(std::move(recorded));
        trim(to, dropped);
    }
    emit changed();
}

void UndoManager::trim(std::vector<Group> &stack, std::vector<Group> &graveyard)
{
    if (m_levels <= 0 || stack.size() <= std::size_t(m_levels)) return;
    const auto excess = std::ptrdiff_t(stack.size() - std::size_t(m_levels));
    std::move(stack.begin(), stack.begin() + excess, std::back_inserter(graveyard));
    stack.erase(stack.begin(), stack.begin() + excess);
}

bool UndoManager::canUndo() const
{
    return !m_undoStack.empty() || (m_level > 0 && !m_openGroup.isEmpty());
}

bool UndoManager::canRedo() const
{
    return !m_redoStack.empty();
}

void UndoManager::removeAllActionsWithTarget(const void *target)
{
    Graveyard graveyard;
    bool removed = false;
    auto strip = [&](Group &group) {
        auto keep = std::stable_partition(group.actions.begin(), group.actions.end(),
                                          [target](const Action &a) { return a.target != target; });
        for (auto it = keep; it != group.actions.end(); ++it)
            if (it->run) graveyard.push_back(std::move(it->run));
        removed = removed || keep != group.actions.end();
        group.actions.erase(keep, group.actions.end());
    };
    for (std::vector<Group> *stack : {&m_undoStack, &m_redoStack}) {
        for (Group &group : *stack) strip(group);
        stack->erase(std::remove_if(stack->begin(), stack->end(),
                                    [](const Group &g) { return g.isEmpty(); }),
                     stack->end());
    }
    strip(m_openGroup);
    strip(m_recordedGroup);
    // The step being replayed keeps its entries (its loop indexes them); they are only emptied,
    // so actions of a target removed mid-replay are not run any more.
    for (Action &action : m_replayGroup.actions) {
        if (action.target == target && action.run) {
            graveyard.push_back(std::move(action.run));
            action.run = nullptr;
            removed = true;
        }
    }
    if (removed && m_mode == Mode::Normal) emit changed();
}

void UndoManager::removeAllActions()
{
    Graveyard graveyard;
    auto bury = [&graveyard](std::vector<Action> &actions) {
        for (Action &action : actions)
            if (action.run) {
                graveyard.push_back(std::move(action.run));
                action.run = nullptr;
            }
    };
    std::vector<Group> undoStack = std::move(m_undoStack);
    std::vector<Group> redoStack = std::move(m_redoStack);
    m_undoStack.clear();
    m_redoStack.clear();
    for (Group &g : undoStack) bury(g.actions);
    for (Group &g : redoStack) bury(g.actions);
    bury(m_openGroup.actions);
    m_openGroup.actions.clear();
    bury(m_recordedGroup.actions);
    m_recordedGroup.actions.clear();
    bury(m_replayGroup.actions); // emptied in place, see removeAllActionsWithTarget
    if (m_mode == Mode::Normal) emit changed();
}

void UndoManager::setActionName(const QString &name)
{
    Group *group = nullptr;
    if (m_mode != Mode::Normal)
        group = &m_recordedGroup;
    else if (m_level > 0)
        group = &m_openGroup;
    if (!group || group->name == name) return; // nothing is being recorded, or no change
    group->name = name;
    if (m_mode == Mode::Normal) emit changed();
}

QString UndoManager::undoActionName() const
{
    if (m_level > 0 && !m_openGroup.isEmpty()) return m_openGroup.name;
    return m_undoStack.empty() ? QString() : m_undoStack.back().name;
}

QString UndoManager::redoActionName() const
{
    return m_redoStack.empty() ? QString() : m_redoStack.back().name;
}

QString UndoManager::undoMenuItemTitle() const
{
    const QString name = undoActionName();
    return name.isEmpty() ? QStringLiteral("Undo") : QStringLiteral("Undo ") + name;
}

QString UndoManager::redoMenuItemTitle() const
{
    const QString name = redoActionName();
    return name.isEmpty() ? QStringLiteral("Redo") : QStringLiteral("Redo ") + name;
}

void UndoManager::setLevelsOfUndo(int levels)
{
    levels = std::max(levels, 0);
    if (levels == m_levels) return;
    m_levels = levels;
    std::vector<Group> dropped;
    trim(m_undoStack, dropped);
    trim(m_redoStack, dropped);
    emit changed();
}
