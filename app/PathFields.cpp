#include "app/PathFields.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QStyle>
#include <QUrl>

namespace frostmark {

namespace {

const char* const kBrowseTips[] = {
    "Browse for the world file to read",
    "Browse for where the patch file goes",
    "Browse for where the cleaned world file goes",
    "Browse for the server's script directory",
};

// The local paths a drag carries; none when anything in it is not a local file or directory.
QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << QDir::toNativeSeparators(url.toLocalFile());
    }
    return paths;
}

} // namespace

CPathFields::CPathFields(QWidget* window, QLineEdit* world, QLineEdit* patch, QLineEdit* output,
                         QLineEdit* scripts, Chooser chooser)
    : QObject(window), m_window(window), m_fields{world, patch, output, scripts},
      m_chooser(std::move(chooser)) {
    if (!m_chooser)
        m_chooser = [window](PathField field, const QString& start) {
            return AskWithFileDialog(window, field, start);
        };
    const QIcon folder = window->style()->standardIcon(QStyle::SP_DirOpenIcon);
    for (int i = 0; i < 4; ++i) {
        const auto field = static_cast<PathField>(i);
        m_browse[i] = m_fields[i]->addAction(folder, QLineEdit::TrailingPosition);
        m_browse[i]->setText(tr("Browse..."));
        m_browse[i]->setToolTip(tr(kBrowseTips[i]));
        connect(m_browse[i], &QAction::triggered, this, [this, field] { Browse(field); });
        // A field takes a dropped file itself rather than the text of its address.
        m_fields[i]->installEventFilter(this);
    }
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

QString CPathFields::StartFor(PathField field) const {
    const QString own = Field(field)->text().trimmed();
    if (!own.isEmpty() && QFileInfo::exists(own))
        return own;
    for (const QString& candidate : {own, Field(PathField::World)->text().trimmed()}) {
        if (candidate.isEmpty())
            continue;
        const QString folder = QFileInfo(candidate).absolutePath();
        if (QFileInfo(folder).isDir())
            return field == PathField::Scripts || own.isEmpty()
                       ? folder
                       : QDir(folder).filePath(QFileInfo(own).fileName());
    }
    return QDir::homePath();
}

void CPathFields::Browse(PathField field) {
    if (const std::optional<QString> chosen = m_chooser(field, StartFor(field)); chosen && !chosen->isEmpty())
        SetPath(field, *chosen);
}

std::optional<QString> CPathFields::AskWithFileDialog(QWidget* parent, PathField field,
                                                      const QString& start) {
    const QString worlds = tr("World files (*.wsc *.WSC);;All files (*)");
    QString chosen;
    switch (field) {
    case PathField::World:
        chosen = QFileDialog::getOpenFileName(parent, tr("World file to read"), start, worlds);
        break;
    case PathField::Patch:
        chosen = QFileDialog::getSaveFileName(parent, tr("Patch file to write"), start,
                                              tr("Freeze patch files (*.frz *.FRZ);;All files (*)"));
        break;
    case PathField::Output:
        chosen = QFileDialog::getSaveFileName(parent, tr("Cleaned world file to write"), start, worlds);
        break;
    case PathField::Scripts:
        chosen = QFileDialog::getExistingDirectory(parent, tr("Script directory"), start);
        break;
    }
    if (chosen.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(chosen);
}

void CPathFields::SetPath(PathField field, const QString& path) {
    QLineEdit* edit = Field(field);
    // As if typed: the change reaches whoever watches the field, and Ctrl+Z in it takes it back.
    edit->selectAll();
    edit->insert(path);
}

bool CPathFields::TakeDrop(const QMimeData* data, QLineEdit* onto, bool apply) {
    const QStringList paths = LocalPaths(data);
    if (paths.isEmpty())
        return false;
    if (onto) {
        if (paths.size() != 1)
            return false;
        const bool isDir = QFileInfo(paths.front()).isDir();
        // The script directory takes a directory, the others a file.
        if (isDir != (onto == Field(PathField::Scripts)))
            return false;
        if (apply)
            SetPath(onto == Field(PathField::World)    ? PathField::World
                    : onto == Field(PathField::Patch)  ? PathField::Patch
                    : onto == Field(PathField::Output) ? PathField::Output
                                                       : PathField::Scripts,
                    paths.front());
        return true;
    }
    // Anywhere else: at most one file (the world) and one directory (the scripts).
    QString file, directory;
    for (const QString& path : paths) {
        QString& slot = QFileInfo(path).isDir() ? directory : file;
        if (!slot.isEmpty())
            return false;
        slot = path;
    }
    if (apply) {
        if (!file.isEmpty())
            SetPath(PathField::World, file);
        if (!directory.isEmpty())
            SetPath(PathField::Scripts, directory);
    }
    return true;
}

bool CPathFields::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    QLineEdit* onto = nullptr;
    for (QLineEdit* field : m_fields)
        if (watched == field)
            onto = field;
    if (!onto && watched != m_window)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    // Text dragged into a field is the field's own business.
    if (onto && LocalPaths(drop->mimeData()).isEmpty())
        return false;
    if (!TakeDrop(drop->mimeData(), onto, type == QEvent::Drop)) {
        event->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        m_window->activateWindow();
        if (onto)
            onto->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

} // namespace frostmark
