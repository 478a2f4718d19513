// The rules of O-Mail without windows or server: the send checks and the
// addressing, a prefilled message's set-up, the check interval (64-bit,
// capped), the name offered for a saved attachment, the box labels, the
// reply's parts and the print layout.
#include "Components/Controller/mail/MailRules.h"
#include "Components/Controller/mainwindow/OrvaneBrowser4.h"

#include "support/ErrorOf.h"

#include <gtest/gtest.h>

#include <climits>

TEST(MailRules, SendChecksComeInTheirOrder)
{
    struct Case
    {
        int Kind;
        const char* To;
        int32_t Role;
        int32_t Preset;
        const char* Subject;
        const char* Message;
        const char* Error;
    };
    const Case cases[] = {
        {mkUsers, "  ", 0, -1, "", "", "Recepient was not specified"},
        {mkRole, "", 0, -1, "", "", "Broadcast recepients was not specified"},
        {mkRole, "", 0, 0, "S", "M", "Broadcast recepients was not specified"},
        {mkRole, "", 0, 7, " ", "M", "Blank Subject"}, // a preset counter stands for the pick
        {mkRole, "CARER", 50, -1, "S", " \r\n ", "Blank Message"},
        {mkBoard, "", 0, -1, " ", "M", "Blank Subject"}, // the board needs no recipient
        {mkUsers, "A@B", 0, -1, "S", "M", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComposeSendCheck(c.Kind, c.To, c.Role, c.Preset, c.Subject, c.Message), c.Error)
            << c.Kind << " " << c.To << " " << c.Subject;
}

TEST(MailRules, APresetCounterWinsOverTheKind)
{
    struct Case
    {
        int Kind;
        const char* To;
        int32_t Role;
        const char* PresetType;
        int32_t PresetCounter;
        const char* WantTo;
        const char* WantRecepients;
        int32_t WantCounter;
    };
    const Case cases[] = {
        {mkUsers, "  A@X, B@Y ", 0, "URL", -1, "URL", "A@X, B@Y", -1},
        {mkRole, "CARER", 50, "URL", -1, "ROL", "", 50},
        {mkBoard, "ignored", 0, "URL", -1, "BOR", "", -1},
        {mkRole, "", 0, "ROL", 12, "ROL", "", 12},
        {mkUsers, "A@X", 0, "ROL", 12, "ROL", "", 12},
        {mkUsers, "A@X", 0, "ROL", 0, "URL", "A@X", -1}, // below 1: no preset
    };
    for (const Case& c : cases) {
        const TMailAddressing a = MailAddressing(c.Kind, c.To, c.Role, c.PresetType, c.PresetCounter);
        EXPECT_EQ(a.To, c.WantTo) << c.Kind << " " << c.PresetCounter;
        EXPECT_EQ(a.Recepients, c.WantRecepients);
        EXPECT_EQ(a.Counter, c.WantCounter);
    }
}

TEST(MailRules, SendOMailRefusesUsersAndChoosesTheKind)
{
    // A "USR" user may only write to selected users.
    struct Refused
    {
        bool Broadcast;
        int32_t Counter;
        const char* Type;
    };
    for (const Refused& r : {Refused{true, -1, "URL"}, Refused{false, 5, "URL"}, Refused{false, -1, "ROL"}})
        EXPECT_EQ(ErrorOf<EovnBrowser>([&] {
                      PlanSendOMail("USR", 50, "", "A@X", "S", "M", "", r.Broadcast, r.Counter, "", r.Type);
                  }),
                  "Users can not broadcast messages");

    struct Case
    {
        const char* UserType;
        const char* To;
        bool Broadcast;
        int32_t Counter;
        const char* CounterText;
        const char* Type;
        int WantKind;
        const char* WantTo;
        bool WantKindEnabled;
    };
    const Case cases[] = {
        {"USR", " A@X ", false, -1, "", "URL", mkUsers, "A@X", false},
        {"USR", "", false, -1, "", "URL", mkUsers, "", false},
        {"MGR", "", false, -1, "", "URL", -1, "", true}, // nothing applies: the window's own choice
        {"MGR", "A@X", false, 50, "CARER", "ROL", mkRole, "CARER", true},
        {"MGR", "A@X", true, 50, "CARER", "ROL", mkBoard, "CARER", true}, // the later rule wins
        {"SYS", "", true, -1, "", "BORDER", mkBoard, "", true},
    };
    for (const Case& c : cases) {
        const TSendOMailPlan plan = PlanSendOMail(c.UserType, 50, "", c.To, " S ", " M ", "", c.Broadcast,
                                                  c.Counter, c.CounterText, c.Type);
        EXPECT_EQ(plan.Kind, c.WantKind) << c.UserType << " " << c.To;
        EXPECT_EQ(plan.ToText, c.WantTo) << c.UserType << " " << c.To;
        EXPECT_EQ(plan.KindEnabled, c.WantKindEnabled);
        EXPECT_EQ(plan.PresetCounter, c.Counter);
        EXPECT_EQ(plan.PresetType, std::string(c.Type).substr(0, 3));
        EXPECT_EQ(plan.Subject, "S");
    }

    // The footer is a further line; the attachment is trimmed.
    TSendOMailPlan plan =
        PlanSendOMail("MGR", 50, "-- Helen", "", "", " Hello ", " /tmp/a.txt ", false, -1, "", "URL");
    EXPECT_EQ(plan.Message, "Hello\r\n-- Helen");
    EXPECT_EQ(plan.Attachment, "/tmp/a.txt");
    EXPECT_EQ(PlanSendOMail("MGR", 50, "  ", "", "", "Hello", "", false, -1, "", "URL").Message, "Hello");

    // The pick lists keep to the user's enterprise (and the system users);
    // system users see every enterprise.
    EXPECT_EQ(plan.RoleConditions, std::vector<std::string>{" AND (TR.C_ENTERPRISE = 50)"});
    EXPECT_EQ(plan.UserConditions,
              (std::vector<std::string>{" AND ((TU.C_ENTERPRISE = 50)", "      OR (TU.USER_TYPE = 'SYS'))"}));
    const TSendOMailPlan sys = PlanSendOMail("SYS", 1, "", "", "", "", "", false, -1, "", "URL");
    EXPECT_TRUE(sys.RoleConditions.empty());
    EXPECT_TRUE(sys.UserConditions.empty());
}

TEST(MailRules, CheckIntervalIsComputedIn64BitsAndCapped)
{
    struct Case
    {
        int32_t Minutes;
        int32_t Ms;
    };
    const Case cases[] = {
        {10, 600000},
        {0, 0},
        {-5, 0},
        {35791, 2147460000},
        // In 32 bits 35 792 minutes wrap to a negative interval and 71 583
        // to a few seconds; the timer's largest interval is used instead.
        {35792, INT32_MAX},
        {71583, INT32_MAX},
        {INT32_MAX, INT32_MAX},
        {INT32_MIN, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MailCheckInterval(c.Minutes), c.Ms) << c.Minutes;
    EXPECT_TRUE(MailCheckRuns(true, 600000));
    EXPECT_FALSE(MailCheckRuns(false, 600000));
    EXPECT_FALSE(MailCheckRuns(true, 0));
}

TEST(MailRules, TheSaveDialogOffersTheLastComponentOnly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"plan.pdf", "plan.pdf"},
        {"C:\\docs\\plan.pdf", "plan.pdf"},
        {"/home/other/.ssh/id_rsa", "id_rsa"},
        {"..\\..\\evil.sh", "evil.sh"},
        {"a/b\\c", "c"},
        {"", "attachment"},
        {".", "attachment"},
        {"..", "attachment"},
        {"dir/..", "attachment"},
        {"dir\\", "attachment"},
        {"...", "..."},
    };
    for (const auto& [stored, offered] : cases)
        EXPECT_EQ(AttachmentSaveName(stored), offered) << stored;
    EXPECT_EQ(MailFileName("C:\\docs\\plan.pdf"), "plan.pdf");
}

// True when Text holds no byte below 32, no DEL and no C1 control
// (U+0080-U+009F, "\xC2\x80"-"\xC2\x9F").
bool FreeOfControls(const std::string& Text)
{
    for (size_t i = 0; i < Text.size(); ++i) {
        const auto c = static_cast<unsigned char>(Text[i]);
        if (c < 32 || c == 127)
            return false;
        if (c == 0xC2 && i + 1 < Text.size() && static_cast<unsigned char>(Text[i + 1]) <= 0x9F)
            return false;
    }
    return true;
}

// True when no UTF-8 sequence of Text is cut: every lead byte has all its
// continuation bytes.
bool WholeCharacters(const std::string& Text)
{
    for (size_t i = 0; i < Text.size();) {
        const auto c = static_cast<unsigned char>(Text[i]);
        const size_t length = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
        if (length == 0 || i + length > Text.size())
            return false;
        for (size_t k = 1; k < length; ++k)
            if ((static_cast<unsigned char>(Text[i + k]) & 0xC0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

TEST(MailRules, TheSaveNameHasNoControlsAndFitsTheFileSystem)
{
    const std::string e = "\xC3\xA9";        // é, two bytes
    const std::string euro = "\xE2\x82\xAC"; // €, three bytes
    std::string longPdf(5000, 'a');
    longPdf += ".pdf";
    std::string eAcute;
    for (int i = 0; i < 200; ++i)
        eAcute += e;
    std::string euros;
    for (int i = 0; i < 100; ++i)
        euros += euro;
    struct Case
    {
        const char* Desc;
        std::string Stored;
        std::string Offered;
    };
    const Case cases[] = {
        {"line breaks and a tab go", "line\r\none\t.txt", "lineone.txt"},
        {"NUL, escape and DEL go", std::string("a\0b\x1b[31mc\x7f.txt", 14), "ab[31mc.txt"},
        {"C1 controls go (NEL, CSI)", "a\xC2\x85" "b\xC2\x9B" "c.txt", "abc.txt"},
        {"Latin-1 letters stay", "caf" + e + ".txt", "caf" + e + ".txt"},
        {"only controls", "\r\n\t", "attachment"},
        {"controls around a dot", "\n.\n", "attachment"},
        {"controls around two dots", "\n..\r", "attachment"},
        {"a control before the folder part", "evil\n/plan.pdf", "plan.pdf"},
        {"5,004 characters keep the extension", longPdf, std::string(251, 'a') + ".pdf"},
        {"exactly 255 bytes stay whole", std::string(251, 'b') + ".txt", std::string(251, 'b') + ".txt"},
        {"256 bytes lose one of the name", std::string(252, 'b') + ".txt", std::string(251, 'b') + ".txt"},
        {"two-byte characters are not split", eAcute + ".txt", eAcute.substr(0, 250) + ".txt"},
        {"three-byte characters are not split", "x" + euros + euros, "x" + euros.substr(0, 252)},
        {"no extension: the first 255 bytes", std::string(300, 'c'), std::string(255, 'c')},
        {"an extension longer than the name may be", "a." + std::string(300, 'x'),
         ("a." + std::string(300, 'x')).substr(0, 255)},
        {"a leading dot is no extension", "." + std::string(300, 'h'), ("." + std::string(300, 'h')).substr(0, 255)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Desc);
        const std::string offered = AttachmentSaveName(c.Stored);
        EXPECT_EQ(offered, c.Offered);
        EXPECT_LE(offered.size(), 255u);
        EXPECT_TRUE(FreeOfControls(offered));
        EXPECT_TRUE(WholeCharacters(offered));
    }
}

TEST(MailRules, BoxLabelsShowTheCountAndTheCurrentBox)
{
    TMailBoxLabel l = MailBoxLabel("Inbox", 3, true);
    EXPECT_EQ(l.Text, "Inbox (3)");
    EXPECT_TRUE(l.Bold);
    EXPECT_EQ(l.Color, TColor(0xFF0000)); // blue, RGB #0000FF
    l = MailBoxLabel("Inbox", 3, false);
    EXPECT_TRUE(l.Bold);
    EXPECT_EQ(l.Color, clWindowText);
    l = MailBoxLabel("Sent", 0, false);
    EXPECT_EQ(l.Text, "Sent");
    EXPECT_FALSE(l.Bold);
    l = MailBoxLabel("Sent", 0, true);
    EXPECT_TRUE(l.Bold);
}

TEST(MailRules, FromTextAndReply)
{
    EXPECT_EQ(MailFromText("BOSS", "SUNNY HOMES", "Big Boss"), "BOSS@SUNNY HOMES (Big Boss)");
    EXPECT_EQ(MailFromText("", "", ""), "System-Generated Message");
    // The sender's address even when the enterprise holds blanks.
    EXPECT_EQ(ReplyAddress("BOSS@SUNNY HOMES (Big Boss)", "BOSS", "SUNNY HOMES"), "BOSS@SUNNY HOMES");
    EXPECT_EQ(ReplyAddress("  BOSS@OAK (Big Boss)", "", ""), "BOSS@OAK");
    EXPECT_EQ(ReplyAddress("System-Generated Message", "", ""), "System-Generated");
    EXPECT_EQ(ReplyBody({"Hello", "", "Bye"}), " > Hello\r\n > \r\n > Bye\r\n");
    EXPECT_EQ(ReplySubject("Rota"), "Re: Rota");
    EXPECT_EQ(MailTextLines("a\r\nb\nc\r\r\n"), (std::vector<std::string>{"a", "b", "c", ""}));
}

TEST(MailRules, PrintPiecesAndPages)
{
    const std::string line200(200, 'x');
    const auto pieces = MailPrintPieces({line200, "", "short"});
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0].size(), 93u);
    EXPECT_EQ(pieces[1].size(), 93u);
    EXPECT_EQ(pieces[2].size(), 14u);
    EXPECT_EQ(pieces[3], "");
    EXPECT_EQ(pieces[4], "short");
    // Characters, not bytes: 94 two-byte letters make 93 and 1.
    std::string umlauts;
    for (int i = 0; i < 94; ++i)
        umlauts += "\xC3\xA4";
    const auto wide = MailPrintPieces({umlauts});
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0].size(), 186u);
    EXPECT_EQ(wide[1], "\xC3\xA4");

    // Lines of 10 on a page of 75: y 15, 25, 35, 45, 55; then 65 passes
    // 75 - 15 and the next line starts a page at 15.
    const auto pages = MailPrintLayout("A@B (C)", "Rota", "1/1/2026", {"one", "two", "three"}, 10, 75);
    ASSERT_EQ(pages.size(), 2u);
    ASSERT_EQ(pages[0].size(), 5u);
    EXPECT_EQ(pages[0][0].Y, 15);
    EXPECT_EQ(pages[0][0].Text, "From: A@B (C)");
    EXPECT_EQ(pages[0][1].Y, 25);
    EXPECT_EQ(pages[0][1].Text, "Subject: Rota");
    EXPECT_EQ(pages[0][2].Text, "Date Time: 1/1/2026");
    EXPECT_EQ(pages[0][3].Text, std::string(93, '-'));
    EXPECT_EQ(pages[0][3].Y, 45);
    EXPECT_EQ(pages[0][4].Y, 55);
    EXPECT_EQ(pages[0][4].Text, "one");
    ASSERT_EQ(pages[1].size(), 2u);
    EXPECT_EQ(pages[1][0].Y, 15);
    EXPECT_EQ(pages[1][0].Text, "two");
    EXPECT_EQ(pages[1][1].Y, 25);
    EXPECT_EQ(pages[1][1].Text, "three");
}
