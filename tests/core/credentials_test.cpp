// Accounts, the store's target names and which entries a server may use, and
// the password buffer.
#include <gtest/gtest.h>

#include "base/credentials.h"

namespace tarvenix {
namespace {

TEST(CredentialsTest, AccountsSplitForALogonAndMalformedOnesAreRefused) {
    struct Case {
        const char16_t* text;
        bool valid;
        const char16_t* domain;
        const char16_t* user;
    };
    const Case cases[] = {
        {u"CORP\\admin", true, u"CORP", u"admin"},
        {u"admin@corp.example", true, u"", u"admin@corp.example"},
        {u"admin", true, u"", u"admin"},
        {u"ТС-ДМЗ\\администратор", true, u"ТС-ДМЗ", u"администратор"},
        {u"", false, u"", u""},
        {u"CORP\\", false, u"CORP", u""},
        {u"\\admin", false, u"", u"admin"},
        {u"CORP\\sub\\admin", false, u"CORP", u"sub\\admin"},
        {u"@corp.example", false, u"", u"@corp.example"},
        {u"admin@", false, u"", u"admin@"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValidAccount(c.text), c.valid) << std::u16string(c.text).size();
        const AccountParts parts = SplitAccount(c.text);
        EXPECT_EQ(parts.domain, c.domain);
        EXPECT_EQ(parts.user, c.user);
    }
}

TEST(CredentialsTest, AServerTriesItsOwnEntryThenItsDnsDomainsAndAnAddressHasNoDomain) {
    using Targets = std::vector<std::u16string>;
    EXPECT_EQ(CredentialTargetsFor(u"TS01"), (Targets{u"Tarvenix/TS01"}));
    EXPECT_EQ(CredentialTargetsFor(u"ts02.corp.example"),
              (Targets{u"Tarvenix/ts02.corp.example", u"Tarvenix/*.corp.example"}));
    EXPECT_EQ(CredentialTargetsFor(u"ts02.corp.example."),
              (Targets{u"Tarvenix/ts02.corp.example.", u"Tarvenix/*.corp.example"}));
    EXPECT_EQ(CredentialTargetsFor(u"10.0.0.5"), (Targets{u"Tarvenix/10.0.0.5"}));
    EXPECT_EQ(CredentialTargetsFor(u"fe80::1"), (Targets{u"Tarvenix/fe80::1"}));
    EXPECT_EQ(CredentialTargetsFor(u".corp"), (Targets{u"Tarvenix/.corp"}));
    EXPECT_EQ(CredentialTargetsFor(u"СЕРВЕР.бух.пример"), (Targets{u"Tarvenix/СЕРВЕР.бух.пример", u"Tarvenix/*.бух.пример"}));
}

TEST(CredentialsTest, ACommandLineTargetIsTheFullNameOrWhatFollowsThePrefix) {
    EXPECT_EQ(CredentialTargetFromText(u"TS01"), u"Tarvenix/TS01");
    EXPECT_EQ(CredentialTargetFromText(u"*.corp.example"), u"Tarvenix/*.corp.example");
    EXPECT_EQ(CredentialTargetFromText(u"Tarvenix/TS01"), u"Tarvenix/TS01");
    EXPECT_EQ(CredentialTargetFromText(u"tarvenix/TS01"), u"Tarvenix/TS01");
    EXPECT_EQ(CredentialTargetFromText(u"Tarveni"), u"Tarvenix/Tarveni");
}

TEST(CredentialsTest, ASecretMovesItsOneBufferAndWipesIt) {
    const std::u16string text = u"Pa55-слово";
    Secret a(text.data(), text.size());
    const char16_t* buffer = a.Data();
    EXPECT_TRUE(a.Equals(text));
    Secret b(std::move(a));
    EXPECT_EQ(b.Data(), buffer) << "moved, not copied";
    EXPECT_TRUE(a.Empty());
    EXPECT_EQ(std::u16string(a.Data()), u"");
    EXPECT_EQ(b.Data()[b.Length()], u'\0') << "NUL-terminated for the system's calls";
    b.Wipe();
    EXPECT_TRUE(b.Empty());
    EXPECT_TRUE(Secret().Equals(u""));
    // The wipe itself, on a buffer that stays readable.
    char16_t raw[] = u"secret";
    WipeMemory(raw, sizeof raw);
    for (char16_t c : raw) EXPECT_EQ(c, u'\0');
}

TEST(CredentialsTest, AccountErrorsAreThoseAnotherAccountMayHelpWith) {
    for (std::uint32_t e : {5u, 1326u, 1327u, 1330u, 1331u, 1793u, 1907u, 1909u}) EXPECT_TRUE(IsAccountError(e)) << e;
    for (std::uint32_t e : {0u, 6u, 53u, 1722u, 1460u, 7022u}) EXPECT_FALSE(IsAccountError(e)) << e;
}

}  // namespace
}  // namespace tarvenix
