#include "CCustomControlSite.h"

#include <QChildEvent>
#include <QKeyEvent>
#include <QWebEngineView>

CCustomControlSite::CCustomControlSite(QWebEngineView* view) : QWebEnginePage(view), view_(view) {
    if (!view_)
        return;
    view_->setPage(this);
    // The view turns the page's menu request into nothing under this policy.
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    // Keys go to the view's focus proxy, the widget that the engine makes for each page it
    // renders, and which it may replace; so every child the view gets is watched.
    view_->installEventFilter(this);
    for (QObject* child : view_->children())
        watch(child);
    if (QWidget* proxy = view_->focusProxy())
        watch(proxy);
}

CCustomControlSite::~CCustomControlSite() = default;

void CCustomControlSite::setMessageBox(MessageBoxSeam seam) {
    messageBox_ = std::move(seam);
}

QMessageBox* CCustomControlSite::CreateMessageBox(const HostMessage& message) {
    auto* box = new QMessageBox(message.icon, message.caption, message.text, message.buttons,
                                message.owner);
    box->setTextFormat(Qt::PlainText); // the page's text is shown, never interpreted
    return box;
}

void CCustomControlSite::ShowMessageBox(const HostMessage& message) {
    QMessageBox* box = CreateMessageBox(message);
    box->exec();
    delete box;
}

bool CCustomControlSite::IsSwallowedKey(const QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    // Backspace would navigate back, so it goes nowhere, in text fields included.
    if (key->key() == Qt::Key_Backspace)
        return true;
    // The override comes before the press and counts as one: the engine runs its editing
    // commands (Ctrl+Backspace deletes a word) when it sees the override.
    if (type == QEvent::KeyRelease)
        return false;
    // Refresh, open, print and new window.
    if (key->key() == Qt::Key_F5)
        return true;
    const bool control = key->modifiers().testFlag(Qt::ControlModifier);
    return control &&
           (key->key() == Qt::Key_O || key->key() == Qt::Key_P || key->key() == Qt::Key_N);
}

void CCustomControlSite::watch(QObject* object) {
    if (object && object != this)
        object->installEventFilter(this); // installing twice keeps one filter
}

bool CCustomControlSite::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::ChildAdded)
        watch(static_cast<QChildEvent*>(event)->child());
    if (event->type() == QEvent::ContextMenu)
        return true;
    if (IsSwallowedKey(event))
        return true;
    return QWebEnginePage::eventFilter(watched, event);
}

void CCustomControlSite::ShowMessage(const QString& text) {
    HostMessage message;
    message.owner = view_ ? view_->window() : nullptr;
    message.text = text;
    // The page's own caption and kind of box do not matter: the banner has one kind of box.
    message.caption = QString::fromLatin1(kCaption);
    message.icon = QMessageBox::Critical;
    message.buttons = QMessageBox::Ok;
    if (messageBox_)
        messageBox_(message);
    else
        ShowMessageBox(message);
}

void CCustomControlSite::javaScriptAlert(const QUrl&, const QString& msg) {
    ShowMessage(msg);
}

bool CCustomControlSite::javaScriptConfirm(const QUrl&, const QString& msg) {
    ShowMessage(msg);
    return true;
}

bool CCustomControlSite::javaScriptPrompt(const QUrl&, const QString& msg,
                                          const QString& defaultValue, QString* result) {
    ShowMessage(msg);
    if (result)
        *result = defaultValue;
    return true;
}
