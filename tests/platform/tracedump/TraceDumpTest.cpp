#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LogFile.h"
#include "MessageBoxWatcher.h"
#include "ScratchDir.h"
#include "SpControl.h"
#include "Table.h"
#include "TaskAbend.h"
#include "TraceDump.h"
#include "TraceTable.h"

namespace {

class TraceDumpTest : public qvtest::ScratchDirTest {
protected:
    TraceDumpTest() : ScratchDirTest("tracedump") {}

    // "clock  thread  " of a record.
    static std::string Head(void* record) {
        const TRACERECORD* r = static_cast<const TRACERECORD*>(record);
        char text[64];
        std::snprintf(text, sizeof text, "%lu  %lx  ", r->clock, r->thread);
        return text;
    }
    static std::string Hex(const void* p) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%llx", (unsigned long long)(uintptr_t)p);
        return text;
    }
};

}  // namespace

TEST_F(TraceDumpTest, NamesCategoriesAndEvents) {
    TRACETABLE trace(0xFFFF, 4096);
    int object = 0;
    void* r1 = trace.TraceEvent(TRACE_TASK, TRACE_TASK_SEM_RESERVE, "pi", &object, -42);
    void* r2 = trace.TraceEvent(0x200, 3, "");
    void* r3 = trace.TraceEvent(TRACE_COMM, 9, "bhl", 0x1AB, 0x12345, 0xBEEFL);
    void* r4 = trace.TraceEvent(TRACE_MEMORY, TRACE_MEMORY_SHARED_BUFFER_ALLOC, "sc", "a\tb'\"?\\", "CLASSNAME");
    void* r5 = trace.TraceEvent(TRACE_DDE, TRACE_DDE_CONNECTION_TERMINATED, "o", 3);
    ASSERT_TRUE(r1 && r2 && r3 && r4 && r5);
    ASSERT_TRUE(WriteTraceTable(&trace, "TRACE.DAT"));
    auto lines = Lines("TRACE.DAT");
    std::string task = Head(r1) + "TASK  Sem. Reserve  Data=";
    std::string comm = Head(r3) + "COMM  Code=9  Data=";
    std::string mem = Head(r4) + "MEMORY  Shared Buffer Alloc  Data=";
    std::vector<std::string> expected = {
        task + Hex(&object),
        std::string(task.size(), ' ') + "-42",
        Head(r2) + "Class=512  Code=3",
        comm + "0xab",
        std::string(comm.size(), ' ') + "0x2345",
        std::string(comm.size(), ' ') + "0xbeef",
        mem + "a\\tb\\'\\\"\\?\\\\",
        std::string(mem.size(), ' ') + "CLASSNAME",
        Head(r5) + "DDE  Connection Terminated  Data=3",
    };
    EXPECT_EQ(expected, lines);
}

TEST_F(TraceDumpTest, KeepsTheNewestRecordsOfASmallRing) {
    TRACETABLE trace(TRACE_APP, 64);
    void* r[3];
    for (int i = 0; i < 3; ++i) r[i] = trace.TraceEvent(TRACE_APP, TRACE_APP_READ, "ph", (void*)(uintptr_t)(0x100 + i), i);
    ASSERT_EQ(TRACETABLE::HeaderSize + TraceItemSize('p') + TraceItemSize('h'), static_cast<TRACERECORD*>(r[2])->length);
    ASSERT_TRUE(WriteTraceTable(&trace, "TRACE.DAT"));
    auto lines = Lines("TRACE.DAT");
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ(Head(r[1]) + "APP  Read  Data=0x101", lines[0]);
    EXPECT_EQ(Head(r[2]) + "APP  Read  Data=0x102", lines[2]);
}

TEST_F(TraceDumpTest, ContinuesLongDataUnderTheItem) {
    TRACETABLE trace(TRACE_CACHE, 8192);
    std::string data;
    for (int i = 0; i < 1000; ++i) data += (char)(i % 7 == 0 ? '\n' : 'a' + i % 26);
    void* rec = trace.TraceEvent(TRACE_CACHE, TRACE_CACHE_READ, "d", data.data(), (int)data.size());
    ASSERT_TRUE(rec);
    ASSERT_TRUE(WriteTraceTable(&trace, "TRACE.DAT"));
    auto lines = Lines("TRACE.DAT");
    std::string head = Head(rec) + "CACHE  Read  Data=";
    ASSERT_GT(lines.size(), 3u);
    ASSERT_EQ(head, lines[0].substr(0, head.size()));
    std::string joined = lines[0].substr(head.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 78u) << i;
        if (i == 0) continue;
        ASSERT_EQ(std::string(head.size(), ' '), lines[i].substr(0, head.size())) << i;
        joined += lines[i].substr(head.size());
    }
    std::string escaped;
    for (char c : data.substr(0, 256)) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    EXPECT_EQ(escaped, joined);
}

TEST_F(TraceDumpTest, TracesRowsColumnByColumn) {
    TABLE table;
    COLUMN* a = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
    COLUMN* b = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
    CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
    ROW* row = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
    row->SetField(b, BUFFER((char*)"bee", 3));
    row->SetField(a, BUFFER((char*)"ay", 2));
    ROW* wide = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
    std::string longValue(200, 'w');
    wide->SetField(b, BUFFER(&longValue[0], 200));
    TRACETABLE trace(TRACE_APP, 4096);
    void* rec = trace.TraceEvent(TRACE_APP, TRACE_APP_EVENT, "r", row);
    ASSERT_TRUE(rec);
    ASSERT_TRUE(WriteTraceTable(&trace, "TRACE.DAT"));
    std::string head = Head(rec) + "APP  Event  Data=";
    std::vector<std::string> expected = {head + "ay", std::string(head.size(), ' ') + "bee",
                                         std::string(head.size(), ' ')};
    EXPECT_EQ(expected, Lines("TRACE.DAT"));
    // A value spread over extension cells is traced whole.
    TRACETABLE again(TRACE_APP, 4096);
    void* rec2 = again.TraceEvent(TRACE_APP, TRACE_APP_EVENT, "r", wide);
    ASSERT_TRUE(rec2);
    EXPECT_EQ(16 + 3 + 0 + 3 + 200 + 3 + 0, static_cast<TRACERECORD*>(rec2)->length);
}

TEST_F(TraceDumpTest, EmptyAndFailingDumps) {
    TRACETABLE stopped(TRACE_APP, 0);
    EXPECT_TRUE(WriteTraceTable(&stopped, "TRACE.DAT"));
    EXPECT_EQ("", Get("TRACE.DAT"));
    TRACETABLE running(TRACE_APP, 1024);
    EXPECT_TRUE(WriteTraceTable(&running, "TRACE.DAT"));
    EXPECT_EQ("", Get("TRACE.DAT"));
    EXPECT_FALSE(WriteTraceTable(&running, "no\\such\\dir\\TRACE.DAT"));
}

TEST_F(TraceDumpTest, WritesTablesAsQuotedText) {
    TABLE table;
    COLUMN* a = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
    COLUMN* b = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
    a->SetName("Name");
    b->SetName("Value");
    ROW* r1 = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
    r1->SetField(a, BUFFER((char*)"one", 3));
    r1->SetField(b, BUFFER((char*)"1", 1));
    ROW* r2 = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
    std::string longText(100, 'x');
    r2->SetField(b, BUFFER(&longText[0], (long)longText.size()));
    ASSERT_TRUE(DebugWriteTable(&table, "table.txt"));
    EXPECT_EQ("\"Name\" \"Value\" \r\n\"one\" \"1\" \r\n\"\" \"" + std::string(63, 'x') + "\" \r\n", Get("table.txt"));

    // Lines longer than any work buffer are written whole.
    TABLE wide;
    wide.AllocateBuffers(64);
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        COLUMN* c = CHAIN<COLUMN>::Cast(wide.AddColumn(TRUE).target);
        c->SetName(std::string(60, 'a' + i % 26).c_str());
        expected += "\"" + std::string(60, 'a' + i % 26) + "\" ";
    }
    ASSERT_TRUE(DebugWriteTable(&wide, "wide.txt"));
    EXPECT_EQ(expected + "\r\n", Get("wide.txt"));
    EXPECT_FALSE(DebugWriteTable(&table, "no\\such\\dir\\t.txt"));
}

// Last step before the process ends: tells the parent which boxes were shown.
void ReportBoxes(BBOOL) { qvtest::PrintSeenBoxes(); }

QV_CHILD_CASE(AbendWithTrace) {
    static LOGFILE systemLog("SYSTEM", "Quorvane");
    InstallAbendHooks(&systemLog);
    TASKABENDHOOKS hooks;
    GetTaskAbendHooks(&hooks);
    hooks.terminate = ReportBoxes;
    SetTaskAbendHooks(&hooks);
    _pSupport->trace.StartTrace(TRACE_APP, 4096);
    _pSupport->trace.TraceEvent(TRACE_APP, TRACE_APP_WRITE, "s", "before the end");
    AbendTestFunction(0x1F);
}

TEST_F(TraceDumpTest, FatalExitWritesTraceAndSystemLog) {
    auto r = qvtest::RunChild("AbendWithTrace");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(1u, r.exitCode);
    const std::string text =
        "ATTENTION: Quorvane has encountered a system error and cannot continue! Please record code 'TST001-1F' and "
        "contact Brellix Software Technical Support.";
    std::string trace = Get("TRACE.DAT");
    EXPECT_NE(std::string::npos, trace.find("APP  Write  Data=before the end")) << trace;
    std::string log = Get("SYSTEM.DAT");
    EXPECT_NE(std::string::npos, log.find("  " + text + "\r\n")) << log;
    EXPECT_NE(std::string::npos, log.find("Quorvane SYSTEM log stopped")) << log;
    EXPECT_EQ(log.find(text), log.rfind(text));
    // One box, with the program's caption and the same text.
    EXPECT_NE(std::string::npos, r.output.find("BOX[Quorvane|" + text + "]")) << r.output;
    EXPECT_EQ(r.output.find("BOX["), r.output.rfind("BOX[")) << r.output;
}
