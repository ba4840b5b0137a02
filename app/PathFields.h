#pragma once
// The four path fields as a user expects them: a Browse button in each (a file chooser for the world,
// patch and output files, a directory chooser for the scripts, starting at what the field holds), and
// files dropped from a file manager. A file dropped on a field goes into that field; dropped anywhere
// else in the window, a directory becomes the script directory and a file the world file.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>

class QAction;
class QLineEdit;
class QMimeData;
class QWidget;

namespace frostmark {

enum class PathField { World, Patch, Output, Scripts };

class CPathFields : public QObject {
    Q_OBJECT
public:
    // Asks the user for a path of the given kind, starting at `start` (a file or a directory); nullopt
    // when they cancel. Tests answer for the user.
    using Chooser = std::function<std::optional<QString>(PathField field, const QString& start)>;

    // `window` takes the drops; the fields are the four path edits. Without a chooser the platform's
    // file dialogs ask.
    CPathFields(QWidget* window, QLineEdit* world, QLineEdit* patch, QLineEdit* output, QLineEdit* scripts,
                Chooser chooser = {});

    QLineEdit* Field(PathField field) const { return m_fields[static_cast<int>(field)]; }
    // The Browse button of a field (an action shown at the field's right end).
    QAction* BrowseAction(PathField field) const { return m_browse[static_cast<int>(field)]; }
    // What the Browse button does.
    void Browse(PathField field);
    // Where a chooser for the field starts: its value when that names something, else the folder of
    // the nearest value that does (the world file's folder for the others), else the home folder.
    QString StartFor(PathField field) const;
    // The platform's dialog for the field, with filters to match.
    static std::optional<QString> AskWithFileDialog(QWidget* parent, PathField field, const QString& start);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether the data carries local paths this window takes; fills the fields when `apply`.
    bool TakeDrop(const QMimeData* data, QLineEdit* onto, bool apply);
    void SetPath(PathField field, const QString& path);

    QWidget* m_window;
    QLineEdit* m_fields[4];
    QAction* m_browse[4];
    Chooser m_chooser;
};

} // namespace frostmark
