// The chain of lines kept in step with the configured names, the running
// connections attached to them, and the phonebook offered to the console.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include "DialerHarness.h"
#include "StandInHarness.h"

using namespace dialtest;
using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

// "name:number" of every line in chain order.
std::string Chain() {
    std::string out;
    CITERATOR<TCPINTERFACE> it;
    for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next())
        out += (out.empty() ? "" : ",") + std::string(i->name) + ":" + std::to_string(i->lineNumber);
    it.End();
    return out;
}

int Rebuild(const char* names) { return WINSOCKCONTROL::GetLocalInterfaces(WINSOCKCONTROL::UseDialUp, names); }

}  // namespace

QV_CHILD_CASE(LineList) {
    InstallConsole();
    Say("both", long(Rebuild("\"Line One\", \"Line Two\"")));
    Say("chain1", Chain());
    WINSOCKINTERFACE* one = Line(1);
    one->prepare();
    Rebuild("Line Two");
    Say("chain2", Chain());
    Say("oneHeldOnlyByUs", long(one->chainCount == 0));
    one->freeobj();
    Rebuild("Line Two,Line Nine,Line Two");
    Say("chain3", Chain());
    Say("nineHandle", long(Line(2)->rasHandle != nullptr));
    Say("default", long(WINSOCKCONTROL::GetLocalInterfaces(WINSOCKCONTROL::UseDefault, "Line One")));
    Say("chain4", Chain());

    // A dial under way: the chain stays as it is.
    WINSOCKINTERFACE* two = Line(1);
    two->Connect(0);
    Say("during", long(Rebuild("Line One")));
    two->Disconnect(1, 0);

    // A connection made elsewhere is attached to its line and counted.
    DialUpStandIns::AppendCommandFromChild("connect-external Line One");
    Say("external", long(Rebuild("Line One,Line Two")));
    Say("oneConnected", long(Line(1)->connected));
    Say("oneAddress", Line(1)->addressText);
    Say("oneStatus", long(Line(1)->state));
}

TEST(DialerList, KeepsOneLinePerNameInListOrder) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(std::string(kPhonebook) + "[Entry Line Two]\r\nOutcome=silent\r\n");
    auto r = s.Run("LineList");
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("0", said["both"]) << r.output;
    EXPECT_EQ("Line One:1,Line Two:2", said["chain1"]) << "quotes stripped, case kept";
    EXPECT_EQ("Line Two:1", said["chain2"]);
    EXPECT_EQ("1", said["oneHeldOnlyByUs"]) << "a removed name's line leaves the chain";
    EXPECT_EQ("Line Two:1,Line Nine:2", said["chain3"]) << "a name listed twice gives one line";
    EXPECT_EQ("0", said["nineHandle"]) << "an entry the phonebook lacks never gets a connection";
    EXPECT_EQ("0", said["default"]);
    EXPECT_EQ("Line Two:1,Line Nine:2", said["chain4"]) << "the default choice changes nothing";
    EXPECT_EQ("-1", said["during"]);
    EXPECT_EQ("1", said["external"]);
    EXPECT_EQ("1", said["oneConnected"]);
    EXPECT_EQ("127.0.0.2", said["oneAddress"]);
    EXPECT_EQ("9", said["oneStatus"]);
}

QV_CHILD_CASE(SecondaryLineList) {
    Rebuild("Line One,Line Two");
    WINSOCKINTERFACE* second = Line(2);
    WINSOCKCONTROL* control = MakeSecondary(second, "", false);
    Rebuild("Line One,Line Nine");
    Say("chain1", Chain());
    Say("same", long(Line(2) == second));
    Say("kept", long(Line(2)->Control() == control && Line(2)->secondary));
    second->prepare();
    Rebuild("Line One");
    Say("chain2", Chain());
    Say("detached", long(control->dialInterface == nullptr && second->Control() == nullptr));
    Say("released", long(second->chainCount == 0));
    second->freeobj();
    ReleaseSecondary(control, nullptr);
}

TEST(DialerList, TheSecondaryLineTakesOverItsPlaceOrGoes) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    auto r = s.Run("SecondaryLineList");
    auto said = qvtest::KeyValues(r.output);
    EXPECT_EQ("Line One:1,Line Nine:2", said["chain1"]) << r.output;
    EXPECT_EQ("1", said["same"]) << "the secondary line's object keeps its place under the new name";
    EXPECT_EQ("1", said["kept"]);
    EXPECT_EQ("Line One:1", said["chain2"]);
    EXPECT_EQ("1", said["detached"]);
    EXPECT_EQ("1", said["released"]);
}

QV_CHILD_CASE(Phonebook) {
    char* list = WINSOCKINTERFACE::GetConnectionList();
    std::string text;
    if (list) {
        for (const char* p = list; *p; p += strlen(p) + 1) text += std::string(p) + "|";
        delete[] list;
    }
    Say("list", text);
    Say("add", long(WINSOCKINTERFACE::AddConnectionEntry(nullptr)));
    Say("edit", long(WINSOCKINTERFACE::EditConnectionEntry(nullptr, "Line Two")));
    Say("editUnknown", long(WINSOCKINTERFACE::EditConnectionEntry(nullptr, "Line Nine")));
}

TEST(DialerList, OffersThePhonebook) {
    DialUpStandIns s(RemoteAccess::Nt);
    s.WriteScenario(kPhonebook);
    auto said = qvtest::KeyValues(s.Run("Phonebook").output);
    EXPECT_EQ("Line One|Line Two|", said["list"]);
    EXPECT_EQ("1", said["add"]);
    EXPECT_EQ("1", said["edit"]);
    EXPECT_EQ("0", said["editUnknown"]);
    EXPECT_EQ(1u, s.Calls("rasapi32", "RasCreatePhonebookEntryA").size());
    auto edits = s.Calls("rasapi32", "RasEditPhonebookEntryA");
    ASSERT_EQ(2u, edits.size());
    EXPECT_EQ("Line Two", edits[0].Field("entry"));

    DialUpStandIns none(RemoteAccess::Nt);
    none.WriteScenario("[Phonebook]\r\nEntries=\r\n");
    EXPECT_EQ("", qvtest::KeyValues(none.Run("Phonebook").output)["list"]) << "no entries: no block";
}
