// The session list and other accounts: a server that refuses the account
// offers another in its failure report; the credential prompt; signing in
// and forgetting from the session menu.
#include "sessions/session_list_win.h"

#include "base/text_fold.h"

namespace tarvenix {

std::u16string SessionList::FaultLines(const std::vector<ListingResult::ServerError>& errors, bool named) const {
    std::u16string lines;
    if (!accounts_) return lines;
    for (const ListingResult::ServerError& e : errors) {
        const std::u16string head = u"\r\n" + (named ? e.server + u": " : std::u16string());
        if (const std::optional<AccountFault> fault = accounts_->Fault(e.server)) {
            lines += head + AccountFaultText(*fault, services_.Describer());
        } else if (IsAccountError(e.error)) {
            // A remembered account the server no longer takes: where it comes from.
            const std::optional<std::u16string> entry = accounts_->EntryInUse(e.server);
            const std::optional<std::u16string> account = accounts_->AccountOf(e.server);
            if (entry && account)
                lines += head + u"Учётная запись " + *account + u" взята из записи " + *entry +
                         u" диспетчера учётных данных Windows.";
        }
    }
    return lines;
}

void SessionList::ReportFailure(const ListingResult& result) {
    const std::u16string text = result.message + FaultLines(result.serverErrors, false);
    const ListingResult::ServerError* refused = nullptr;
    if (accounts_)
        for (const ListingResult::ServerError& e : result.serverErrors)
            if (IsAccountError(e.error)) {
                refused = &e;
                break;
            }
    if (!refused) {
        boxes_.ShowMessage(text);
        return;
    }
    // Once per failure, and only when the user asks: never a retry of its own.
    if (!boxes_.OfferSignIn(text)) return;
    const std::u16string server = refused->server;
    if (SignIn(server, refused->error)) StartListing(false, {server});
}

bool SessionList::ReportOfferingAccount(const std::u16string& report, const std::u16string& server,
                                        std::uint32_t error) {
    const std::u16string text = report + FaultLines({{server, error}}, false);
    if (!accounts_ || !IsAccountError(error)) {
        boxes_.ShowMessage(text);
        return false;
    }
    return boxes_.OfferSignIn(text) && SignIn(server, error);
}

bool SessionList::SignIn(const std::u16string& server, std::uint32_t error, const std::u16string& suggested,
                         bool* cancelled) {
    if (cancelled) *cancelled = false;
    if (!accounts_ || server.empty()) return false;
    const DescribeError describe = services_.Describer();
    CredentialRequest request;
    request.server = server;
    request.caption = u"Вход на сервер " + server;
    request.message = u"Укажите ДОМЕН\\пользователь или пользователь@домен";
    request.account = accounts_->AccountOf(server).value_or(suggested);
    // The prompt words a refused password or account itself; plain access
    // denied says nothing about the password.
    request.error = IsAccountError(error) && error != 5 ? error : 0;
    request.describe = describe;
    std::optional<EnteredCredential> entered = boxes_.AskCredentials(request);
    if (!entered) {  // cancelled: the server stays as it was
        if (cancelled) *cancelled = true;
        return false;
    }
    const std::u16string account = entered->credential.account;
    if (!ValidAccount(account)) {
        entered->credential.password.Wipe();
        boxes_.ShowMessage(u"Учётная запись \"" + account +
                           u"\" не подходит: укажите ее как ДОМЕН\\пользователь или пользователь@домен.");
        return false;
    }
    std::uint32_t storeError = 0;
    const std::uint32_t logon = accounts_->SignIn(server, std::move(entered->credential), entered->remember, &storeError);
    if (logon != 0) {
        boxes_.ShowMessage(SystemErrorReport(u"Не удалось войти как " + account + u".", logon, describe));
        return false;
    }
    if (storeError != 0)
        boxes_.ShowMessage(SystemErrorReport(
            u"Учётные данные для сервера " + server + u" не сохранены в диспетчере учётных данных Windows.", storeError,
            describe));
    return true;
}

std::u16string SessionList::AccountServer() const {
    if (listedFarm_) {
        if (const std::optional<Session> first = FirstSelectedSession()) return first->server;
    } else if (!listedServer_.empty()) {
        return listedServer_;
    }
    return serverText_();
}

void SessionList::ForgetCredentials() {
    if (!accounts_) return;
    const std::u16string server = AccountServer();
    if (server.empty()) {
        boxes_.ShowMessage(u"Вы не указали сервер!");
        return;
    }
    const std::optional<std::u16string> target = accounts_->StoredTarget(server);
    const std::optional<std::u16string> account = accounts_->AccountOf(server);
    if (!target && !account) {
        boxes_.ShowMessage(u"Для сервера " + server + u" нет сохранённых учётных данных.");
        return;
    }
    const std::u16string question =
        target ? u"Забыть учётные данные для сервера " + server + u"? Запись " + *target +
                     u" будет удалена из диспетчера учётных данных Windows."
               : u"Забыть учётную запись " + *account + u" для сервера " + server + u"?";
    if (!boxes_.Confirm(question)) return;
    const std::uint32_t error = accounts_->Forget(server, target.value_or(u""));
    if (error != 0 && error != kErrorNotFound) {
        boxes_.ShowMessage(SystemErrorReport(
            u"Не удалось удалить запись " + target.value_or(u"") + u" из диспетчера учётных данных Windows.", error,
            services_.Describer()));
        return;
    }
    boxes_.ShowMessage(u"Учётные данные для сервера " + server + u" забыты.");
}

}  // namespace tarvenix
