#pragma once

#include <QString>

#include <functional>

// Runs what a user without root's rights would do. Root may write anywhere, so as root it runs in
// a child process switched to "nobody"; any other user runs it here. The result is what run
// returned, or nothing with whyNot set when the machine cannot give such a user (no "nobody",
// or a folder on the way that nobody may enter: pass it as mustEnter).
struct OtherUserRun
{
    int result = -1;
    QString whyNot;
};
OtherUserRun runAsUnprivilegedUser(const std::function<int()> &run, const QString &mustEnter);
