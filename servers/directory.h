// Server names from the signed-in user's directory domain: the query text, its
// translation into a directory search, and the reading and sorting of the
// names. Portable: the directory itself sits behind DirectoryService (the
// Windows implementation is in directory_win.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tarvenix {

class AnsiCodePage;

// The domain part of a "domain\account" user name: the text before the first
// backslash; empty when there is no backslash.
std::u16string DomainFromUserName(const std::u16string& nameDnsDomain);

// The query text for the server computers of a DNS domain, e.g. for
// one.two.three: select Name, operatingsystem from
// 'LDAP://one.two.three/dc=one,dc=two,dc=three' where objectclass='computer'
// and operatingsystem='*server*'
std::u16string BuildDirectoryQuery(const std::u16string& domain);

// A query text in the directory's SQL dialect, as a directory search.
struct AdsiSearch {
    std::u16string path;                    // the quoted FROM text, e.g. LDAP://host/dc=a,dc=b
    std::u16string filter;                  // LDAP filter: conjunction of the WHERE terms
    std::vector<std::u16string> attributes;  // the select list, as written
};

// Parses "select A, B from 'PATH' where x='v' and y='w'" (keywords in any
// case, values in single quotes, '' for a quote inside a value, the WHERE part
// optional). Values keep their * wildcards; the other filter specials are
// escaped. Nothing when the text does not parse.
std::optional<AdsiSearch> TranslateQuery(const std::u16string& queryText);

// A path without a server ("LDAP://dc=corp,dc=example") with the server made
// explicit: the DNS domain its dc= components spell
// ("LDAP://corp.example/dc=corp,dc=example"), which finds a domain controller
// of that domain as a path without a server does. A path naming a server
// comes back unchanged. Nothing when no server can be told: a component that
// is not dc= with a value (the empty domain's "LDAP://dc=,dc=").
std::optional<std::u16string> PathWithServer(const std::u16string& path);

// The directory as the server box needs it.
class DirectoryService {
public:
    virtual ~DirectoryService() = default;
    // The signed-in user as "domain\account" (the DNS domain name form); empty
    // when unknown.
    virtual std::u16string UserNameDnsDomain() = 0;
    // Runs a query text; appends each record's "Name" in directory order.
    // False on any failure; names appended before it stay.
    virtual bool Search(const std::u16string& queryText, std::vector<std::u16string>& names) = 0;
    // The user's collation, ignoring case: <0, 0, >0.
    virtual int CompareNames(const std::u16string& a, const std::u16string& b) = 0;
};

struct DirectoryFill {
    bool ok = false;
    // On success the names sorted by CompareNames (duplicates kept); on
    // failure the names read before it, in directory order.
    std::vector<std::u16string> sorted;
};

// Reads the server names of the signed-in user's domain: domain, query (passed
// through the ANSI code page and back), search, sort.
DirectoryFill ReadDirectoryServers(DirectoryService& dir, const AnsiCodePage& ansi);

// "Готово!", a carriage return (no line feed), then the count line.
std::u16string DirectoryDoneMessage(std::size_t count);

inline constexpr char16_t kDirectoryFailedMessage[] = u"Не могу получить список серверов вашего домена!";

}  // namespace tarvenix
