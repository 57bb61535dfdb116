#include "support/other_user.h"

#include <QFile>

#include <cerrno>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int CannotSwitch = 120;
constexpr int CannotEnter = 121;
} // namespace

OtherUserRun runAsUnprivilegedUser(const std::function<int()> &run, const QString &mustEnter)
{
    if (::geteuid() != 0)
        return {run(), {}};
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody)
        return {-1, QStringLiteral("this machine has no user \"nobody\"")};
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const QByteArray folder = QFile::encodeName(mustEnter);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(CannotSwitch);
        if (::access(folder.constData(), X_OK) != 0)
            ::_exit(CannotEnter);
        int result = -1;
        try {
            result = run();
        } catch (...) {
        }
        ::_exit(result);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return {-1, QStringLiteral("the child process did not end normally")};
    switch (WEXITSTATUS(status)) {
    case CannotSwitch:
        return {-1, QStringLiteral("cannot switch to the user \"nobody\"")};
    case CannotEnter:
        return {-1, QStringLiteral("\"nobody\" may not enter %1 (a temporary folder under a "
                                   "private one?)")
                        .arg(mustEnter)};
    default:
        return {WEXITSTATUS(status), {}};
    }
}
