#pragma once
// The undoable edits of the Patch Areas list, and the deletions from the Patch Objects list. Each holds the
// texts it needs to go both ways and applies them through the workspace, which keeps the list, the map and
// the settings together. One drag on the map is one command: the drag previews its change and pushes the
// whole of it when the button is released.

#include "app/CommandPanel.h"

#include <QUndoCommand>

#include <string>
#include <utility>
#include <vector>

namespace frostmark {

class CMapWorkspace;

class CAddAreaCommand : public QUndoCommand {
public:
    CAddAreaCommand(CMapWorkspace& workspace, int index, std::string text);
    void redo() override;
    void undo() override;

private:
    CMapWorkspace& m_workspace;
    int m_index;
    std::string m_text;
};

class CChangeAreaCommand : public QUndoCommand {
public:
    CChangeAreaCommand(CMapWorkspace& workspace, int index, std::string before, std::string after,
                       const QString& what);
    void redo() override;
    void undo() override;

private:
    CMapWorkspace& m_workspace;
    int m_index;
    std::string m_before;
    std::string m_after;
};

class CRemoveAreasCommand : public QUndoCommand {
public:
    // `removed`: the entries' rows (ascending) and texts.
    CRemoveAreasCommand(CMapWorkspace& workspace, std::vector<std::pair<int, std::string>> removed);
    void redo() override;
    void undo() override;

private:
    CMapWorkspace& m_workspace;
    std::vector<std::pair<int, std::string>> m_removed;
};

// Rows deleted from Patch Objects. The records go back through the command panel, which refuses once
// another analysis has replaced the list: the step is then dropped from the stack.
class CRemovePatchObjectsCommand : public QUndoCommand {
public:
    CRemovePatchObjectsCommand(CCommandPanel& commands, CCommandPanel::CRemovedObjects removed);
    void redo() override;
    void undo() override;

private:
    CCommandPanel& m_commands;
    CCommandPanel::CRemovedObjects m_removed;
    bool m_done = true; // pushed after the deletion itself
};

} // namespace frostmark
