// Data packages of labelled objects, and whole messages through a data transport.
#include <gtest/gtest.h>
#include <cstring>
#include <string>

#include "DataPackage.h"
#include "DataTransport.h"
#include "LocalLink.h"

namespace {

int liveNotes = 0;

// A small streamable object: a text body, optionally with a class tag and an object id.
struct Note : STORABLE, STREAMABLE {
    std::string text;
    explicit Note(const std::string& t = "", unsigned long f = 0) : STREAMABLE(f, 0), text(t) { liveNotes++; }
    ~Note() override { liveNotes--; }
    QV_ITEM_IDENTITY(Note, "NOTE", "NOTa")
    BBOOL StreamOut(STREAMBUF& s) override {
        s.CopyIn(text.data(), (long)text.size());
        return 1;
    }
    BBOOL StreamIn(STREAMBUF& s) override {
        text.assign(s.cursor.data, s.cursor.length);
        s.CopyOut(nullptr, 0);
        s.cursor.data += s.cursor.length;
        s.cursor.length = 0;
        return 1;
    }
    int ItemStreamSize(BBOOL) override { return (int)text.size(); }
};

Note* NewNote(const std::string& t, unsigned long flags = 0) {
    Note* n = new Note(t, flags);
    n->prepare();
    return n;
}

TEST(Label, NameIsCutTo63Characters) {
    Note n("x");
    DATALABEL l(n, std::string(70, 'L').c_str());
    EXPECT_EQ(std::string(63, 'L'), l.labelName);
    EXPECT_EQ(QvTag("NOTa"), l.classId);
    DATALABEL empty;
    EXPECT_EQ(0u, empty.classId);
    EXPECT_STREQ("", empty.labelName);
}

TEST(Package, LookUpAndRemoval) {
    DATAPACKAGE* p = new DATAPACKAGE("lookups", 0);
    p->prepare();
    Note* first = NewNote("first");
    DATAPACKAGE* other = new DATAPACKAGE("inner", 0);
    other->prepare();
    Note* second = NewNote("second");
    p->Add(*first, "shared name");
    p->Add(*other, "shared name");
    p->Add(*second, "alone");
    EXPECT_EQ(first, p->Get(0, "shared name").Object()) << "identifier 0 matches any class";
    EXPECT_EQ(&_NULLSLBL, &p->Get(QvTag("PKGa"), "shared name"))
        << "only the first entry of a name is looked at";
    EXPECT_EQ(&_NULLSLBL, &p->Get(0, "Alone")) << "names are case-sensitive";
    EXPECT_EQ(second, p->Get(QvTag("NOTa"), "alone").Object());
    int visited = 0;
    EXPECT_EQ(3, p->Enumerate([](LABEL<STORABLE>&, void* n) { ++*(int*)n; }, &visited));
    EXPECT_EQ(3, visited);

    EXPECT_EQ(first, p->Remove(0, "shared name"));
    EXPECT_EQ(other, p->Get(0, "shared name").Object());
    EXPECT_EQ(nullptr, p->RemoveLB(_NULLSLBL));
    EXPECT_EQ(1, first->count) << "a removed object is handed back, not released";
    first->freeobj();

    int before = liveNotes;
    other->prepare();  // also held by the test: the package must not release it
    p->freeobj();
    EXPECT_EQ(before - 1, liveNotes) << "the package released the note it still held";
    other->freeobj();
}

TEST(Package, PublishedPackagesRegisterInTheSystemPackage) {
    DATAPACKAGE* p = new DATAPACKAGE("published one", 1);
    p->prepare();
    EXPECT_EQ(p, _pSystemPackage->Get(0, "published one").Object());
    EXPECT_TRUE(p->flags & SPF_OPENLENGTH);
    p->freeobj();
    EXPECT_EQ(&_NULLSLBL, &_pSystemPackage->Get(0, "published one"));
}

// Writes a package of three entries between two counts, so that a reader that consumes
// a byte too many or too few misreads the count behind it.
struct Streamed : ::testing::Test {
    STREAMBUF s{4096};
    long written = 0;
    void SetUp() override {
        DATAPACKAGE* p = new DATAPACKAGE("three", 0);
        p->prepare();
        p->Add(*NewNote("plain body"), "plain");
        p->Add(*NewNote("tagged body", SPF_CLASSTAG), "tagged");
        Note* withId = NewNote("body with an id", SPF_CLASSTAG);
        withId->objectId = 77;
        p->Add(*withId, "identified");
        s.SetForWrite();
        STREAMCOUNT head(11), tail(22);
        s << head;
        s << *p;
        s << tail;
        written = s.Used();
        p->freeobj();
        s.SetForRead();
    }
    void ReadBack(DATAPACKAGE& into) {
        STREAMCOUNT head, tail;
        s >> head;
        s >> into;
        s >> tail;
        EXPECT_EQ(11u, head.count);
        EXPECT_EQ(22u, tail.count) << "the package was read to its exact end";
        EXPECT_EQ(0, s.cursor.length);
        EXPECT_EQ(written, s.Used());
    }
};

TEST_F(Streamed, UnknownClassesAreSkippedExactly) {
    DATAPACKAGE* back = new DATAPACKAGE("", 0);
    back->prepare();
    ReadBack(*back);
    EXPECT_STREQ("three", back->ownLabel.labelName);
    EXPECT_EQ(0, back->entries.count) << "no class registered: nothing is rebuilt";
    back->freeobj();
}

TEST_F(Streamed, RegisteredClassesAreRebuilt) {
    static bool registered = false;
    if (!registered) {
        ASSERT_TRUE(RegisterClass(
            QvTag("NOTa"), [](unsigned long) -> STREAMABLE* { return new Note(); },
            [](STREAMABLE* s, unsigned long) { dynamic_cast<BASEITEM*>(s)->freeobj(); }));
        registered = true;
    }
    EXPECT_NE(nullptr, DATACLASS::findclass(QvTag("NOTa")));
    DATAPACKAGE* back = new DATAPACKAGE("", 0);
    back->prepare();
    ReadBack(*back);
    ASSERT_EQ(3, back->entries.count);
    EXPECT_EQ("plain body", dynamic_cast<Note*>(back->Get(0, "plain").Object())->text);
    EXPECT_EQ("tagged body", dynamic_cast<Note*>(back->Get(0, "tagged").Object())->text);
    Note* withId = dynamic_cast<Note*>(back->Get(QvTag("NOTa"), "identified").Object());
    ASSERT_NE(nullptr, withId);
    EXPECT_EQ("body with an id", withId->text);
    EXPECT_EQ(77u, withId->objectId);
    int before = liveNotes;
    back->DestroyAll();
    EXPECT_EQ(before - 3, liveNotes) << "destroyed through the registry";
    EXPECT_EQ(0, back->entries.count);
    back->freeobj();
}

// Two transports joined by an in-process pair.
struct Transport : ::testing::Test {
    DATATRANSPORT* a = nullptr;
    DATATRANSPORT* b = nullptr;
    ESEMAPHORE wake{1};
    DATATRANSPORT* Make(const char* name) {
        DATATRANSPORT* t = new DATATRANSPORT(name, 4096, 3, 0);
        t->prepare();
        t->link = new LOCALLINK(LINK_SERVER_CONNECT, name);
        t->link->prepare();
        t->link->wakeEvent = &wake;
        t->ownsLink = 1;
        return t;
    }
    void SetUp() override {
        a = Make("transport A");
        b = Make("transport B");
        ASSERT_EQ(0, a->OpenStream("", 0, 0));
        ASSERT_EQ(0, b->OpenStream("transport A", 0, 0));
        ASSERT_TRUE(a->link->QueryLinkStatus());
    }
    void TearDown() override {
        a->freeobj();
        b->freeobj();
    }
};

TEST_F(Transport, ObjectsTravelAsWholeMessages) {
    Note out("a message through the transport", SPF_CLASSTAG);
    *b << out;
    EXPECT_EQ(1, a->link->recvQueue.count) << "one object, one message";
    Note in;
    *a >> in;
    EXPECT_EQ(out.text, in.text);
    EXPECT_EQ(0, a->buffer.cursor.length);

    STREAMCOUNT n(5);
    *a << n;
    STREAMCOUNT got;
    *b >> got;
    EXPECT_EQ(5u, got.count);
}

TEST_F(Transport, ReadingAfterTheLinkEndedReportsAFailure) {
    b->CloseStream();
    EXPECT_NE(0, a->ReadBuffer()) << "an ended link never reads as data ready";
    EXPECT_EQ(0, a->buffer.cursor.length);
    a->link->error = COMMLINK::ErrorMessageTooLong;
    EXPECT_EQ(COMMLINK::ErrorMessageTooLong, a->ReadBuffer());
    a->link->error = 0;
    a->buffer.SetForWrite();
    a->buffer.CopyIn("x", 1);
    EXPECT_EQ(COMMLINK::ErrorCannotOpen, a->WriteBuffer()) << "a send that cannot happen is not reported as done";
    EXPECT_EQ(0, a->buffer.Used());
}

TEST_F(Transport, OpeningToAnUnknownEndFails) {
    DATATRANSPORT* c = Make("transport C");
    EXPECT_EQ(COMMLINK::ErrorCannotOpen, c->OpenStream("nobody", 0, 0));
    EXPECT_FALSE(c->open);
    c->freeobj();
}

}  // namespace
