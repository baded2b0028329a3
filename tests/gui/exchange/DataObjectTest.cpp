#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "ExchangeKit.h"
#include "zDataObject.h"
#include "zEnumFormatEtc.h"

namespace {

// Remembers what the imp told its owner.
class Listener : public zDataObject {
public:
    void onReceiveFormat(const zExchangeFmt& fmt) override {
        ++calls;
        lastKind = fmt.kind();
        lastId = fmt.id();
    }
    int calls = 0;
    zExchangeType lastKind = zExchangeUser;
    unsigned lastId = 0;
};

// Counts the releases a medium's release interface receives.
class CountingUnknown : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ++releases;
        return --refs;
    }
    ULONG refs = 1;
    int releases = 0;
};

const CLIPFORMAT kProbe = CLIPFORMAT(RegisterClipboardFormatA("Quorvane Probe"));

}  // namespace

TEST(DataObject, InterfaceAnswersByTable) {
    zDataObject obj;
    obj.add("held text");
    IDataObject* d = nullptr;
    ASSERT_EQ(S_OK, obj.QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&d)));
    ASSERT_EQ(static_cast<IDataObject*>(obj.imp()), d);

    struct Case {
        const char* what;
        FORMATETC f;
        HRESULT get, query;
    } cases[] = {
        {"text as memory", Fmt(CF_TEXT, TYMED_HGLOBAL), S_OK, S_OK},
        {"text asked only as a GDI object", Fmt(CF_TEXT, TYMED_GDI), DV_E_FORMATETC, S_OK},
        {"an aspect without content", Fmt(CF_TEXT, TYMED_HGLOBAL, DVASPECT_ICON), DV_E_FORMATETC, DV_E_FORMATETC},
        {"a bitmap not held", Fmt(CF_BITMAP, TYMED_GDI), DV_E_FORMATETC, S_FALSE},
        {"a registered format not held", Fmt(kProbe, TYMED_HGLOBAL), DV_E_FORMATETC, S_FALSE},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        FORMATETC f = k.f;
        STGMEDIUM m = {};
        HRESULT got = d->GetData(&f, &m);
        EXPECT_EQ(k.get, got);
        if (got == S_OK) {
            EXPECT_EQ(DWORD(TYMED_HGLOBAL), m.tymed);
            EXPECT_EQ(nullptr, m.pUnkForRelease);
            EXPECT_STREQ("held text", static_cast<const char*>(GlobalLock(m.hGlobal)));
            GlobalUnlock(m.hGlobal);
            ReleaseStgMedium(&m);
        }
        EXPECT_EQ(k.query, d->QueryGetData(&f));
    }

    FORMATETC in = Fmt(CF_TEXT, TYMED_HGLOBAL);
    FORMATETC out = in;
    out.ptd = reinterpret_cast<DVTARGETDEVICE*>(&in);
    EXPECT_EQ(DATA_S_SAMEFORMATETC, d->GetCanonicalFormatEtc(&in, &out));
    EXPECT_EQ(nullptr, out.ptd);
    EXPECT_EQ(E_INVALIDARG, d->GetCanonicalFormatEtc(&in, nullptr));
    STGMEDIUM m = {};
    EXPECT_EQ(E_NOTIMPL, d->GetDataHere(&in, &m));
    DWORD conn = 0;
    EXPECT_EQ(E_FAIL, d->DAdvise(&in, 0, nullptr, &conn));
    EXPECT_EQ(E_FAIL, d->DUnadvise(1));
    IEnumSTATDATA* advises = nullptr;
    EXPECT_EQ(E_FAIL, d->EnumDAdvise(&advises));

    void* other = &in;
    EXPECT_EQ(E_NOINTERFACE, d->QueryInterface(IID_IStream, &other));
    EXPECT_EQ(nullptr, other);
    IUnknown* unk = nullptr;
    EXPECT_EQ(S_OK, d->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unk)));
    EXPECT_EQ(4u, unk->AddRef());  // the wrapper's, d's and unk's, plus this one
    unk->Release();
    unk->Release();
    d->Release();
}

TEST(DataObject, LastReleaseNotifiesAndDestroys) {
    static int notified = 0;
    notified = 0;
    auto* imp = new zDataObjectImp(nullptr);
    imp->setReleaseNotify([](zDataObjectImp*) { ++notified; });
    imp->add("freed with the object");
    EXPECT_EQ(1u, imp->AddRef());
    EXPECT_EQ(2u, imp->AddRef());
    EXPECT_EQ(1u, imp->Release());
    EXPECT_EQ(0, notified);
    EXPECT_EQ(0u, imp->Release());
    EXPECT_EQ(1, notified);
}

TEST(DataObject, AddsReplaceTheirFormatAndReadBack) {
    zDataObject obj;
    obj.add("first");
    obj.add("second");
    EXPECT_EQ(1u, obj.imp()->dataCount());
    std::unique_ptr<char[]> text(obj.getText());
    EXPECT_STREQ("second", text.get());

    // Exactly the bytes offered come back, no terminator added, no rounding.
    const unsigned char five[5] = {1, 2, 0, 4, 5};
    zExchangeFmt probe("Quorvane Probe");
    EXPECT_EQ(S_OK, obj.add(five, sizeof five, probe));
    unsigned long size = 99;
    std::unique_ptr<unsigned char[]> bytes(obj.getUserData(size, probe));
    ASSERT_NE(nullptr, bytes);
    EXPECT_EQ(5u, size);
    EXPECT_EQ(0, std::memcmp(five, bytes.get(), 5));
    EXPECT_TRUE(obj.isUserDataAvail(probe));
    EXPECT_FALSE(obj.isBitmapAvail());
    EXPECT_EQ(nullptr, obj.getBitmap());
    EXPECT_EQ(nullptr, obj.getUserData(size, zExchangeFmt(zExchangeDif)));
    EXPECT_EQ(0u, size);

    Canvas cv;
    std::unique_ptr<zBitmap> bmp(TwoColourBitmap(cv));
    EXPECT_EQ(S_OK, obj.add(bmp.get()));
    std::unique_ptr<zBitmap> back(obj.getBitmap());
    ASSERT_NE(nullptr, back);
    EXPECT_NE(bmp->hbitmap(), back->hbitmap());
    EXPECT_EQ(kRed, PixelOf(back->hbitmap(), 1, 1));
    EXPECT_EQ(kBlue, PixelOf(back->hbitmap(), 3, 0));

    // The held picture is a copy: the recording display may go first.
    auto* md = new zMetafileDisplay;
    RecordGreen(*md);
    EXPECT_EQ(S_OK, obj.add(md));
    delete md;
    zMetafileDisplay player;
    EXPECT_EQ(1, obj.getMetafile(&player));
    Canvas out(30, 20);
    EXPECT_NE(0, player.copyTo(&out.disp, 0, 0, 20, 10));
    EXPECT_EQ(kGreen, out.at(10, 5));

    EXPECT_EQ(4u, obj.imp()->dataCount());
    obj.registerFormat(zExchangeText);
    obj.clear();
    EXPECT_EQ(0u, obj.imp()->dataCount());
    EXPECT_FALSE(obj.isTextAvail());
    EXPECT_EQ(nullptr, obj.getText());
    // Clearing forgets data only: the accepted formats stay, and their count.
    EXPECT_EQ(1u, obj.imp()->acceptCount());
}

TEST(DataObject, SetDataStoresACopyAndTellsTheOwner) {
    Listener obj;
    Canvas cv;
    std::unique_ptr<zBitmap> bmp(TwoColourBitmap(cv));
    CountingUnknown releaser;
    STGMEDIUM m = {};
    m.tymed = TYMED_GDI;
    m.hBitmap = bmp->hbitmap();
    m.pUnkForRelease = &releaser;
    FORMATETC f = Fmt(CF_BITMAP, TYMED_GDI);
    EXPECT_EQ(S_OK, obj.SetData(&f, &m, TRUE));
    EXPECT_EQ(1, releaser.releases);  // the caller's medium went back
    EXPECT_EQ(1, obj.calls);
    EXPECT_EQ(zExchangeBitmap, obj.lastKind);
    std::unique_ptr<zBitmap> held(obj.getBitmap());
    ASSERT_NE(nullptr, held);
    EXPECT_EQ(kBlue, PixelOf(held->hbitmap(), 2, 1));

    struct Case {
        const char* what;
        FORMATETC f;
        DWORD mediumTymed;
        HRESULT want;
    } bad[] = {
        {"text offered without the memory bit", Fmt(CF_TEXT, TYMED_GDI), TYMED_HGLOBAL, DV_E_FORMATETC},
        {"an icon aspect", Fmt(CF_TEXT, TYMED_HGLOBAL, DVASPECT_ICON), TYMED_HGLOBAL, DV_E_FORMATETC},
        {"a bitmap in memory", Fmt(CF_BITMAP, TYMED_GDI), TYMED_HGLOBAL, DV_E_TYMED},
        {"user data in a stream", Fmt(kProbe, TYMED_ISTREAM), TYMED_ISTREAM, DV_E_TYMED},
    };
    for (const Case& k : bad) {
        SCOPED_TRACE(k.what);
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
        STGMEDIUM mm = {};
        mm.tymed = k.mediumTymed;
        mm.hGlobal = block;
        FORMATETC ff = k.f;
        EXPECT_EQ(k.want, obj.SetData(&ff, &mm, TRUE));
        GlobalFree(block);
    }
    EXPECT_EQ(1, obj.calls);

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 3);
    std::memcpy(GlobalLock(block), "abc", 3);
    GlobalUnlock(block);
    STGMEDIUM um = {};
    um.tymed = TYMED_HGLOBAL;
    um.hGlobal = block;
    FORMATETC uf = Fmt(kProbe, TYMED_HGLOBAL);
    EXPECT_EQ(S_OK, obj.SetData(&uf, &um, FALSE));
    GlobalFree(block);  // not released by the object: it kept its own copy
    EXPECT_EQ(zExchangeUser, obj.lastKind);
    EXPECT_EQ(unsigned(kProbe), obj.lastId);
    unsigned long size = 0;
    std::unique_ptr<unsigned char[]> bytes(obj.getUserData(size, zExchangeFmt(unsigned(kProbe))));
    EXPECT_EQ(3u, size);
}

TEST(DataObject, EnumeratesHeldAndAcceptedFormats) {
    zDataObject obj;
    obj.add("t");
    const char one = 1;
    obj.add(&one, 1, zExchangeFmt(unsigned(kProbe)));
    obj.registerFormat(zExchangeBitmap);

    struct Case {
        DWORD dir;
        HRESULT rc;
        std::vector<CLIPFORMAT> formats;
    } cases[] = {
        {DATADIR_GET, S_OK, {CF_TEXT, kProbe}},
        {DATADIR_SET, S_OK, {CF_BITMAP}},
        {7, E_FAIL, {}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.dir);
        IEnumFORMATETC* e = reinterpret_cast<IEnumFORMATETC*>(&obj);
        ASSERT_EQ(k.rc, obj.EnumFormatEtc(k.dir, &e));
        if (k.rc != S_OK) {
            EXPECT_EQ(nullptr, e);
            continue;
        }
        std::vector<CLIPFORMAT> seen;
        FORMATETC f;
        while (e->Next(1, &f, nullptr) == S_OK) seen.push_back(f.cfFormat);
        EXPECT_EQ(k.formats, seen);
        EXPECT_EQ(0u, e->Release());
    }
}

TEST(FormatEnumerator, NextSkipResetAndClone) {
    FORMATETC list[4] = {Fmt(1, 1), Fmt(2, 16), Fmt(3, 32), Fmt(kProbe, 1)};
    auto* e = new zEnumFormatEtc(4, list);
    e->AddRef();
    FORMATETC got[3];
    ULONG n = 99;
    EXPECT_EQ(S_OK, e->Skip(2));
    EXPECT_EQ(S_OK, e->Next(3, got, &n));  // two were left
    EXPECT_EQ(2u, n);
    EXPECT_EQ(CF_METAFILEPICT, got[0].cfFormat);
    EXPECT_EQ(kProbe, got[1].cfFormat);
    EXPECT_EQ(S_FALSE, e->Next(1, got, &n));
    EXPECT_EQ(0u, n);

    EXPECT_EQ(S_OK, e->Reset());
    EXPECT_EQ(S_FALSE, e->Skip(5));  // past the end: stays
    EXPECT_EQ(S_OK, e->Skip(4));     // exactly what remains
    EXPECT_EQ(S_FALSE, e->Next(1, got, nullptr));
    EXPECT_EQ(S_OK, e->Reset());
    EXPECT_EQ(E_POINTER, e->Next(2, got, nullptr));
    EXPECT_EQ(S_OK, e->Next(1, got, nullptr));

    IEnumFORMATETC* c = nullptr;
    ASSERT_EQ(S_OK, e->Clone(&c));
    EXPECT_EQ(S_OK, c->Next(1, got, nullptr));
    EXPECT_EQ(CF_BITMAP, got[0].cfFormat);  // at the original's position
    IUnknown* unk = nullptr;
    EXPECT_EQ(S_OK, c->QueryInterface(IID_IEnumFORMATETC, reinterpret_cast<void**>(&unk)));
    EXPECT_EQ(1u, c->Release());
    EXPECT_EQ(0u, unk->Release());
    void* none = &n;
    EXPECT_EQ(E_NOINTERFACE, e->QueryInterface(IID_IDataObject, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(0u, e->Release());

    zEnumFormatEtc empty(0, nullptr);
    EXPECT_EQ(S_FALSE, empty.Next(1, got, &n));
    EXPECT_EQ(S_FALSE, empty.Skip(0));
}

TEST(DataObject, TakesAcceptedFormatsFromAnotherObject) {
    zDataObject source;
    source.add("carried");
    const char bytes[4] = {9, 8, 7, 6};
    source.add(bytes, 4, zExchangeFmt(unsigned(kProbe)));
    IDataObject* src = nullptr;
    source.QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&src));

    Listener sink;
    EXPECT_FALSE(sink.acceptDataObject(src));  // accepts nothing yet
    EXPECT_FALSE(sink.fillFromDataObject(src));
    sink.registerFormat(zExchangeBitmap);
    EXPECT_FALSE(sink.acceptDataObject(src));
    sink.registerFormat(zExchangeText);
    FORMATETC pf = Fmt(kProbe, TYMED_HGLOBAL);
    STGMEDIUM pm = {};
    pm.tymed = TYMED_HGLOBAL;
    sink.registerOleFormat(&pf, &pm);
    EXPECT_EQ(3u, sink.imp()->acceptCount());
    EXPECT_TRUE(sink.acceptDataObject(src));
    EXPECT_TRUE(sink.fillFromDataObject(src));
    EXPECT_EQ(2, sink.calls);
    std::unique_ptr<char[]> text(sink.getText());
    EXPECT_STREQ("carried", text.get());
    unsigned long size = 0;
    std::unique_ptr<unsigned char[]> got(sink.getUserData(size, zExchangeFmt(unsigned(kProbe))));
    EXPECT_EQ(4u, size);
    EXPECT_EQ(2u, source.imp()->dataCount());  // the source kept its own

    sink.unRegisterOleFormat(&pf, &pm);
    sink.unRegisterFormat(zExchangeText);
    EXPECT_EQ(1u, sink.imp()->acceptCount());
    EXPECT_FALSE(sink.acceptDataObject(src));
    src->Release();
}
