#include "app/MapUndoCommands.h"

#include "app/MapWorkspace.h"

#include <QCoreApplication>

namespace frostmark {

CAddAreaCommand::CAddAreaCommand(CMapWorkspace& workspace, int index, std::string text)
    : QUndoCommand(QCoreApplication::translate("Frostmark", "Add area")), m_workspace(workspace),
      m_index(index), m_text(std::move(text)) {}

void CAddAreaCommand::redo() {
    m_workspace.InsertAreaEntry(m_index, m_text);
}

void CAddAreaCommand::undo() {
    m_workspace.RemoveAreaEntry(m_index);
}

CChangeAreaCommand::CChangeAreaCommand(CMapWorkspace& workspace, int index, std::string before,
                                       std::string after, const QString& what)
    : QUndoCommand(what), m_workspace(workspace), m_index(index), m_before(std::move(before)),
      m_after(std::move(after)) {}

void CChangeAreaCommand::redo() {
    m_workspace.SetAreaEntry(m_index, m_after);
}

void CChangeAreaCommand::undo() {
    m_workspace.SetAreaEntry(m_index, m_before);
}

CRemoveAreasCommand::CRemoveAreasCommand(CMapWorkspace& workspace,
                                         std::vector<std::pair<int, std::string>> removed)
    : QUndoCommand(
          QCoreApplication::translate("Frostmark", removed.size() == 1 ? "Delete area" : "Delete areas")),
      m_workspace(workspace), m_removed(std::move(removed)) {}

void CRemoveAreasCommand::redo() {
    for (auto it = m_removed.rbegin(); it != m_removed.rend(); ++it)
        m_workspace.RemoveAreaEntry(it->first);
}

void CRemoveAreasCommand::undo() {
    std::vector<int> rows;
    for (const auto& [row, text] : m_removed) {
        m_workspace.InsertAreaEntry(row, text);
        rows.push_back(row);
    }
    // What comes back is what was selected when it went.
    m_workspace.SelectAreaEntries(rows);
}

CRemovePatchObjectsCommand::CRemovePatchObjectsCommand(CCommandPanel& commands,
                                                       CCommandPanel::CRemovedObjects removed)
    : QUndoCommand(QCoreApplication::translate("Frostmark", "Delete %n Patch Objects rows", nullptr,
                                               static_cast<int>(removed.indexes.size()))),
      m_commands(commands), m_removed(std::move(removed)) {}

void CRemovePatchObjectsCommand::redo() {
    if (m_done)
        return;
    m_done = true;
    if (!m_commands.RemoveAgain(m_removed))
        setObsolete(true);
}

void CRemovePatchObjectsCommand::undo() {
    m_done = false;
    if (!m_commands.RestoreRemoved(m_removed))
        setObsolete(true);
}

} // namespace frostmark
