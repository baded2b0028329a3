// Debug requests: single commands and command files, with a recording
// submit step in place of the scheduled requests.
#include "FrameworkHarness.h"

using namespace fw;

namespace {

struct RecordingDebug : APPDEBUG {
    std::vector<std::string> submitted;
    std::string failOn;
    explicit RecordingDebug(APPTYPE* t, int size = 64) : APPDEBUG(t) { AllocCommand(size); }
    BBOOL execAppRequest(BUFFER& command) override {
        submitted.push_back(command.data);
        return submitted.back() != failOn;
    }
};

class CommandFiles : public ServerTest {
protected:
    void SetUp() override {
        ServerTest::SetUp();
        MakeServer(FALSE);
        MakeTypes({"HTTP"});
        debug = new RecordingDebug(types[0]);
    }
    void TearDown() override {
        debug->freeobj();
        ServerTest::TearDown();
    }
    RecordingDebug* debug = nullptr;
};

TEST_F(CommandFiles, SingleCommandAndSetCmd) {
    EXPECT_TRUE(debug->SetCmd("GET http://a/", FALSE));
    EXPECT_TRUE(debug->RequestProc());
    EXPECT_EQ(debug->submitted, (std::vector<std::string>{"GET http://a/"}));
    EXPECT_TRUE(debug->SetCmd("list.txt", TRUE));
    EXPECT_STREQ(debug->command.data, "@list.txt");
    EXPECT_FALSE(debug->SetCmd(std::string(80, 'x').c_str(), FALSE)) << "cut to the buffer";
    EXPECT_EQ(std::string(debug->command.data), std::string(63, 'x'));
    RecordingDebug none(types[0], 0);
    EXPECT_FALSE(none.SetCmd("GET x", FALSE));
    EXPECT_FALSE(none.RequestProc());
}

TEST_F(CommandFiles, LinesOfAFile) {
    Put("outer.txt",
        "; a comment\r\n"
        "GET one   \t\r\n"
        "ab\r\n"
        "abc\r\n"
        "@inner.txt\r\n"
        "GET after\r\n"
        "\x1A" "GET never\r\n");
    Put("inner.txt", "GET inner\r\n");
    ASSERT_TRUE(debug->SetCmd("outer.txt", TRUE));
    EXPECT_TRUE(debug->RequestProc());
    EXPECT_EQ(debug->submitted, (std::vector<std::string>{"GET one", "abc", "GET inner", "GET after"}));
    EXPECT_STREQ(debug->command.data, "@outer.txt") << "the command is restored";
}

TEST_F(CommandFiles, Failures) {
    const struct {
        const char* what;
        const char* outer;
        const char* failOn;
        std::vector<std::string> submitted;
    } cases[] = {
        {"stops at the first failing line", "GET a\r\nGET bad\r\nGET c\r\n", "GET bad", {"GET a", "GET bad"}},
        {"missing nested file", "GET a\r\n@missing.txt\r\nGET c\r\n", "", {"GET a"}},
        {"a file naming itself", "GET a\r\n@outer.txt\r\n", "", std::vector<std::string>(8, "GET a")},
        {"a line longer than the buffer", "GET a\r\nGET " "0123456789012345678901234567890123456789012345678901234567890123456789\r\nGET c\r\n",
         "", {"GET a"}},
    };
    for (const auto& c : cases) {
        debug->submitted.clear();
        debug->failOn = c.failOn;
        Put("outer.txt", c.outer);
        ASSERT_TRUE(debug->SetCmd("outer.txt", TRUE));
        EXPECT_FALSE(debug->RequestProc()) << c.what;
        EXPECT_EQ(debug->submitted, c.submitted) << c.what;
    }
    ASSERT_TRUE(debug->SetCmd("nothing-here.txt", TRUE));
    EXPECT_FALSE(debug->RequestProc()) << "missing file";
}

}  // namespace
