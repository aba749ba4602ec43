// Desktop operations through Qt, D-Bus and the freedesktop conventions.
#include "app/ui/shell_services.h"

#include "app/ui/message_box.h"
#include "app/ui/ui_texts.h"
#include "app/util/path_utils.h"
#include "app/util/shell_link.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

namespace qm {
namespace {

std::unique_ptr<TShellServices>& CurrentServices() {
    static std::unique_ptr<TShellServices> services = std::make_unique<TShellServices>();
    return services;
}

constexpr auto FileManagerService = "org.freedesktop.FileManager1";
constexpr auto FileManagerPath = "/org/freedesktop/FileManager1";

} // namespace

namespace {

// Whether the desktop names a program for the URL's type. QDesktopServices reports success
// once xdg-open has started, also when xdg-open then finds nothing to open with. When
// xdg-mime cannot be asked, opening is left to try.
bool HasDefaultApplication(const QUrl& url) {
    const QString type = url.isLocalFile()
                             ? QMimeDatabase().mimeTypeForFile(url.toLocalFile()).name()
                             : QStringLiteral("x-scheme-handler/") + url.scheme();
    if (type.isEmpty()) return true;
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit ||
        query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

bool TShellServices::OpenUrl(const QUrl& url) {
    return HasDefaultApplication(url) && QDesktopServices::openUrl(url);
}

bool TShellServices::ShowItems(const QString& path) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    // Asking first avoids waiting for D-Bus activation of a file manager that is not installed.
    const auto* registry = bus.interface();
    if (!registry) return false;
    const auto registered = registry->isServiceRegistered(FileManagerService);
    const auto activatable = registry->activatableServiceNames();
    if (!registered.value() &&
        !(activatable.isValid() && activatable.value().contains(FileManagerService)))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(FileManagerService, FileManagerPath,
                                                       FileManagerService, "ShowItems");
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QStringList TShellServices::ChooseFiles(QWidget* parent, const QString& title,
                                        const QString& folder, const QString& filter) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setObjectName("opndlgSelectFiles");
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.selectedFiles();
}

QString TShellServices::ChooseFolder(QWidget* parent, const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(parent, title, folder, QFileDialog::ShowDirsOnly);
}

TShellServices& Shell() {
    return *CurrentServices();
}

std::unique_ptr<TShellServices> ReplaceShellServices(std::unique_ptr<TShellServices> services) {
    auto previous = std::move(CurrentServices());
    CurrentServices() = services ? std::move(services) : std::make_unique<TShellServices>();
    return previous;
}

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStdString(const QString& text) {
    return text.toStdString();
}

QString DisplayText(std::string_view text) {
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    shown.remove('\r');
    return shown;
}

QString QtFileFilter(std::string_view filter) {
    const QStringList parts = ToQString(filter).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (patterns == "*.*") patterns = "*";
        // "Mp3 - (.mp3)": Qt shows the patterns itself, so the label's own copy goes.
        QString label = parts[i];
        if (const qsizetype at = label.lastIndexOf(" - ("); at > 0 && label.endsWith(')'))
            label.truncate(at);
        entries.append(label + " (" + patterns + ")");
    }
    return entries.join(";;");
}

std::string CannotPlayMessage(std::string_view fileName) {
    std::string text(texts::CannotPlayStart);
    text += fileName;
    text += texts::CannotPlayMiddle;
    text += texts::CannotPlayEnd;
    return text;
}

TWaitCursor::TWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TWaitCursor::~TWaitCursor() {
    QApplication::restoreOverrideCursor();
}

namespace {

// Opens the URL with its program; when none takes it: the beep and `failure` over `parent`.
bool OpenOrSay(const QUrl& url, const std::string& failure, QWidget* parent) {
    bool opened = false;
    {
        TWaitCursor wait;
        opened = Shell().OpenUrl(url);
    }
    if (opened) return true;
    QApplication::beep();
    ShowMessage(parent, QMessageBox::Information, texts::InformationTitle, failure);
    return false;
}

std::string NoOpenerMessage(const QString& name) {
    return std::string(texts::NoOpenerStart) + ToStdString(name) + std::string(texts::NoOpenerEnd);
}

} // namespace

bool OpenWithShell(const QString& path, QWidget* parent) {
    return OpenOrSay(QUrl::fromLocalFile(path), CannotPlayMessage(FileNameOf(ToStdString(path))),
                     parent);
}

bool OpenDocument(const QString& path, QWidget* parent) {
    return OpenOrSay(QUrl::fromLocalFile(path), NoOpenerMessage(QFileInfo(path).fileName()),
                     parent);
}

bool OpenWebAddress(const QString& address, QWidget* parent) {
    return OpenOrSay(QUrl(address), NoOpenerMessage(address), parent);
}

bool RevealInShell(const QString& path) {
    TWaitCursor wait;
    if (Shell().ShowItems(path)) return true;
    return Shell().OpenUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

bool BrowseForFolder(QWidget* parent, const QString& title, const QString& root, QString& folder) {
    if (!folder.isEmpty() && !QFileInfo(folder).isDir()) folder.clear();
    const QString start = !folder.isEmpty() ? folder : !root.isEmpty() ? root : QDir::homePath();
    const QString chosen = Shell().ChooseFolder(parent, title, start);
    if (chosen.isEmpty()) return false;
    folder = chosen;
    return true;
}

QIcon SmallIconOf(const QString& path) {
    static const QFileIconProvider provider;
    return provider.icon(QFileInfo(path));
}

QString HelpFolder() {
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, "Quillmere/Help",
                                  QStandardPaths::LocateDirectory);
}

QString ResolveShortcut(const QString& path) {
    return ToQString(ResolveShellLink(ToStdString(path)));
}

} // namespace qm
