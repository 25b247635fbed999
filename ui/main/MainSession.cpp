#include "ui/main/MainSession.h"

#include "account/AccountStore.h"
#include "platform/TermSignal.h"
#include "platform/secret/SecretServiceStore.h"
#include "store/LocalDb.h"
#include "ui/main/InstanceServer.h"
#include "ui/main/MainWnd.h"

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>
#include <memory>

namespace vx {

int RunMainWindows(const std::string& user, const std::string& password)
{
    CAppConfig& config = CAppConfig::Instance();
    CLocalDb& db = CLocalDb::Instance();
    // The keyring is asked off the window's thread: it may start on demand or put up a prompt.
    CAccountStore accounts(db, std::make_shared<CSecretServiceStore>(), CMessageLoop::Main());

    CMainWnd::Deps deps{config, db, CMessageLoop::Main(), &accounts, nullptr, {}, true, {}};
    auto main = std::make_unique<CMainWnd>(deps);
    // Centred on the screen, then hidden until a login is granted.
    if (QScreen* s = QGuiApplication::primaryScreen())
        main->move(s->availableGeometry().center() - main->rect().center());
    QApplication::setQuitOnLastWindowClosed(false); // the window hides to the tray; exit ends it
    CInstanceServer instance([&main] { return main->RaiseForSecondInstance(); });
    instance.Listen();
    // The end of the desktop session (and a closed terminal, Ctrl+C) closes in order.
    std::unique_ptr<QSocketNotifier> termWatch;
    if (const int fd = WatchTermSignals(); fd >= 0) {
        termWatch = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(termWatch.get(), &QSocketNotifier::activated, main.get(), [&main, fd] {
            const int sig = TakeTermSignal(fd);
            if (sig != 0)
                main->EndOfSession("signal " + std::to_string(sig));
        });
    }
    main->OpenLogin(true);
    if (CLoginWnd* login = main->Login(); login && !user.empty()) {
        login->Controller().UserNameEdited(user);
        if (!password.empty())
            login->Controller().PasswordEdited(password);
    }
    const int code = QApplication::exec();
    main.reset(); // the pipeline's workers end before the accounts and the database
    return code;
}

} // namespace vx
