#include "sessions/session.h"

#include "base/text_fold.h"

namespace tarvenix {

namespace {

bool SameName(const std::u16string& a, const std::u16string& b) { return a == b || FoldCase(a) == FoldCase(b); }

// The same holder of one ID: user, and domain and logon time where both
// sides know them.
bool SameHolder(const std::u16string& userA, const std::u16string& domainA, std::optional<FileTimeTicks> logonA,
                const std::u16string& userB, const std::u16string& domainB, std::optional<FileTimeTicks> logonB) {
    if (!SameName(userA, userB)) return false;
    if (!domainA.empty() && !domainB.empty() && !SameName(domainA, domainB)) return false;
    if (logonA && logonB && *logonA != *logonB) return false;
    return true;
}

}  // namespace

bool SameSession(const Session& a, const Session& b) {
    return a.id == b.id && SameName(a.server, b.server) &&
           SameHolder(a.user, a.domain, a.logonTicks, b.user, b.domain, b.logonTicks);
}

SessionCheck CheckHolder(const Session& seen, const SessionHolder& now) {
    if (now.user.empty()) return SessionCheck::Ended;
    return SameHolder(seen.user, seen.domain, seen.logonTicks, now.user, now.domain, now.logonTicks)
               ? SessionCheck::Same
               : SessionCheck::ChangedHands;
}

}  // namespace tarvenix
