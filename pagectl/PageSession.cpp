#include "pagectl/PageSession.h"

#include "core/InstanceLock.h"
#include "core/Protocol.h"
#include "core/RuntimeDir.h"
#include "core/TextCodec.h"
#include "core/TransferTexts.h"
#include "core/WindowBus.h"
#include "pagectl/PageAction.h"
#include "pagectl/PageActionRunner.h"
#include "pagectl/PageBox.h"
#include "pagectl/PageControl.h"
#include "pagectl/PageTexts.h"

#include <QDeadlineTimer>
#include <QList>
#include <QThread>

#include <utility>

namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 1;
// How long a later page control keeps trying to reach the running one (which may be starting
// or just ending) before it tells the member.
constexpr int kHandOverMs = 5000;
constexpr int kHandOverSendMs = 2000;
const char* const kInstanceName = "VASTRELLE Page Control";

int tell(const QString& caption, const QString& text) {
    ShowPageError(caption, text);
    return kExitRefused;
}

int tellUnusable(PageActionRead::Status status) {
    switch (status) {
    case PageActionRead::Status::BadDownload:
        return tell(TransferText::downloadErrorCaption(), TransferText::unreadableDownload());
    case PageActionRead::Status::BadUpload:
        return tell(TransferText::uploadErrorCaption(), PageText::unreadableUpload());
    case PageActionRead::Status::UnknownAction:
        return tell(PageText::pageErrorCaption(), PageText::unknownAction());
    case PageActionRead::Status::NotALink:
    case PageActionRead::Status::Unreadable:
    case PageActionRead::Status::Ok:
        break;
    }
    return tell(PageText::pageErrorCaption(), PageText::unreadableLink());
}

// The running page control: its window takes the actions later ones hand over.
class PageSession {
public:
    explicit PageSession(InstanceLock lock)
        : lock_(std::move(lock)), bus_(QString::fromLatin1(Protocol::kPageActionClass)) {
        bus_.setHandler([this](const CopyData& message) { return take(message); });
    }

    int run(const PageAction& first) {
        LogLine(QStringLiteral("page control %1").arg(bus_.endpoint()));
        pending_.append(first);
        bool allDone = true;
        // Handed-over actions arrive while one runs (its boxes, chooser and waits serve the
        // window bus) and queue up here.
        while (!pending_.isEmpty())
            allDone &= PageActionRunner::run(pending_.takeFirst());
        return allDone ? kExitDone : kExitRefused;
    }

private:
    qint64 take(const CopyData& message) {
        if (message.tag != Protocol::kPageActionTag)
            return 0;
        const PageActionRead read = ReadPageAction(message.text());
        if (read.status != PageActionRead::Status::Ok) {
            LogLine(QStringLiteral("ignored a handed-over action that is not one"));
            return 0;
        }
        LogLine(QStringLiteral("took over: \"%1\"").arg(FromCp949(message.text())));
        pending_.append(read.action);
        return 1;
    }

    InstanceLock lock_;
    WindowBus bus_;
    QList<PageAction> pending_;
};

} // namespace

int RunPageLink(const QString& link) {
    const PageActionRead read = ReadPageLink(link.toLocal8Bit());
    if (read.status != PageActionRead::Status::Ok)
        return tellUnusable(read.status);
    LogLine(QStringLiteral("page action: \"%1\"").arg(FromCp949(read.action.payload())));

    const QDeadlineTimer deadline(kHandOverMs);
    for (;;) {
        InstanceLock lock(QString::fromLatin1(kInstanceName));
        if (lock.unavailable())
            return tell(PageText::pageErrorCaption(),
                        TransferText::noPrivateFolder(PageText::pageControlName(),
                                                      PrivateRuntimeDirCandidates().join(", ")));
        if (lock.acquired())
            return PageSession(std::move(lock)).run(read.action);
        const QString running =
            WindowBus::findWindow(QString::fromLatin1(Protocol::kPageActionClass));
        if (!running.isEmpty()) {
            const auto answer = WindowBus::send(running, Protocol::kPageActionTag, QString(),
                                                read.action.payload() + '\0', kHandOverSendMs);
            if (answer && *answer == 1) {
                LogLine(QStringLiteral("handed over to the running page control %1").arg(running));
                return kExitDone;
            }
        }
        if (deadline.hasExpired())
            return tell(PageText::pageErrorCaption(), PageText::runningControlSilent());
        QThread::msleep(50);
    }
}
