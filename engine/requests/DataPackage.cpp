#include "DataPackage.h"
#include "StreamPrefix.h"
#include "TableIO.h"
#include "TaskAbend.h"
#include <cstring>

CHAIN<DATACLASS>* _pPackageClasses = nullptr;
DATAPACKAGE* _pSystemPackage = nullptr;
LABEL<STORABLE> _NULLSLBL;
int DPACKAGE_INIT::InitCount = 0;

DPACKAGE_INIT::DPACKAGE_INIT() {
    if (InitCount++ != 0) return;
    _pPackageClasses = new CHAIN<DATACLASS>(1);
    _pPackageClasses->prepare();
    _pPackageClasses->freeOnDestroy = 1;
    _pSystemPackage = new DATAPACKAGE("SystemPackage", 0);
    _pSystemPackage->prepare();
}

DPACKAGE_INIT::~DPACKAGE_INIT() {
    if (--InitCount != 0) return;
    if (_pSystemPackage) _pSystemPackage->freeobj();
    _pSystemPackage = nullptr;
    if (_pPackageClasses) _pPackageClasses->freeobj();
    _pPackageClasses = nullptr;
}

// ---- class registry

DATACLASS::DATACLASS(unsigned long id, CREATOR c, DESTROYER d) : classId(id), create(c), destroy(d) {}

DATACLASS* DATACLASS::findclass(unsigned long id) {
    if (!_pPackageClasses) return nullptr;
    CITERATOR<DATACLASS> it;
    DATACLASS* found = nullptr;
    for (DATACLASS* c = it.Begin(*_pPackageClasses); c; c = it.Next()) {
        if (c->classId == id) {
            found = c;
            break;
        }
    }
    it.End();
    return found;
}

BBOOL RegisterClass(unsigned long id, DATACLASS::CREATOR create, DATACLASS::DESTROYER destroy) {
    if (!_pPackageClasses) return 0;
    DATACLASS* c = new DATACLASS(id, create, destroy);
    c->prepare();
    if (!_pPackageClasses->Add(*c).target) {
        c->freeobj();
        return 0;
    }
    return 1;
}

// ---- labels

DATALABEL::DATALABEL() : STREAMABLE(0x10000000UL, 0), classId(0) { labelName[0] = 0; }

DATALABEL::DATALABEL(STORABLE& object, const char* text) : STREAMABLE(0x10000000UL, 0), classId(0) {
    Attach(object, text);
}

DATALABEL::DATALABEL(const DATALABEL& other)
    : BASEITEM(), STORABLE(), STREAMABLE(0x10000000UL, 0), classId(other.classId) {
    memcpy(labelName, other.labelName, sizeof(labelName));
}

DATALABEL& DATALABEL::operator=(const DATALABEL& other) {
    classId = other.classId;
    memcpy(labelName, other.labelName, sizeof(labelName));
    return *this;
}

void DATALABEL::SetName(const char* text) {
    labelName[0] = 0;
    if (!text) return;
    size_t n = strnlen(text, sizeof(labelName) - 1);
    memcpy(labelName, text, n);
    labelName[n] = 0;
}

void DATALABEL::Attach(STORABLE& object, const char* text) {
    classId = object.ItemClassID();
    SetName(text);
}

BBOOL DATALABEL::StreamOut(STREAMBUF& out) {
    tableio::PutLong(out, classId);
    long room = out.cursor.length;
    if (room <= 0) return 1;
    long n = (long)strlen(labelName);
    if (n > room - 1) n = room - 1;
    out.CopyIn(labelName, n);
    char zero = 0;
    out.CopyIn(&zero, 1);
    return 1;
}

BBOOL DATALABEL::StreamIn(STREAMBUF& in) {
    classId = tableio::GetU32(in, tableio::Swapped(in));
    // The name runs to its terminator; the whole body is consumed.
    long n = 0;
    labelName[0] = 0;
    while (in.cursor.length > 0) {
        char ch = 0;
        in.CopyOut(&ch, 1);
        if (ch == 0) break;
        if (n < (long)sizeof(labelName) - 1) labelName[n++] = ch;
    }
    labelName[n] = 0;
    return 1;
}

int DATALABEL::ItemStreamSize(BBOOL) { return 4 + (int)strlen(labelName) + 1; }

// ---- packages

DATAPACKAGE::DATAPACKAGE(const char* text, BBOOL publish)
    : STREAMABLE(0x14000000UL, 0), labelAllocator(QvTag("LBLa"), sizeof(LABEL<STORABLE>), 4096, 0, 0),
      entries(0), registration(nullptr) {
    ownLabel.Attach(*this, text);
    if (publish && text && *text) {
        Publish();
        flags |= SPF_OPENLENGTH;
    }
}

DATAPACKAGE::~DATAPACKAGE() {
    // Each object that no other chain holds goes with the package.
    while (entries.first->target) {
        LABEL<STORABLE>* e = LABEL<STORABLE>::FromCell(entries.first);
        STORABLE* object = entries.bRemove(*entries.first, 0);
        if (object && object->chainCount == 0) {
            if (object->IsItemBLOCKED())
                object->freeobj(labelAllocator);
            else
                object->freeobj();
        }
        FreeEntry(e);
    }
    Unpublish();
}

void DATAPACKAGE::Publish() {
    if (registration || !_pSystemPackage || _pSystemPackage == this) return;
    LABEL<STORABLE>& e = _pSystemPackage->Add(*this, ownLabel.labelName);
    registration = &e == &_NULLSLBL ? nullptr : &e;
}

void DATAPACKAGE::Unpublish() {
    if (registration && _pSystemPackage) _pSystemPackage->RemoveLB(*registration);
    registration = nullptr;
}

void DATAPACKAGE::FreeEntry(LABEL<STORABLE>* e) {
    e->cell.target = nullptr;
    e->freeobj(labelAllocator);
}

LABEL<STORABLE>& DATAPACKAGE::Add(STORABLE& object, const char* text) {
    LABEL<STORABLE>* e = new (labelAllocator) LABEL<STORABLE>(object, text);
    if (!e) return _NULLSLBL;
    entries.bAdd(e->cell);
    return *e;
}

LABEL<STORABLE>& DATAPACKAGE::Get(unsigned long id, const char* text) {
    if (!text) return _NULLSLBL;
    for (bSPOINTER* c = entries.first; c->target; c = c->next) {
        LABEL<STORABLE>* e = LABEL<STORABLE>::FromCell(c);
        if (strcmp(e->labelName, text) == 0) return id != 0 && e->classId != id ? _NULLSLBL : *e;
    }
    return _NULLSLBL;
}

STORABLE* DATAPACKAGE::Remove(unsigned long id, const char* text) { return RemoveLB(Get(id, text)); }

STORABLE* DATAPACKAGE::RemoveLB(LABEL<STORABLE>& e) {
    if (&e == &_NULLSLBL || !e.cell.linked) return nullptr;
    STORABLE* object = entries.bRemove(e.cell, 0);
    FreeEntry(&e);
    return object;
}

int DATAPACKAGE::Enumerate(void (*visit)(LABEL<STORABLE>&, void*), void* argument) {
    int n = 0;
    for (bSPOINTER* c = entries.first; c->target;) {
        bSPOINTER* next = c->next;  // a visitor may remove its own entry
        visit(*LABEL<STORABLE>::FromCell(c), argument);
        n++;
        c = next;
    }
    return n;
}

void DATAPACKAGE::DestroyAll() {
    while (entries.first->target) {
        LABEL<STORABLE>* e = LABEL<STORABLE>::FromCell(entries.first);
        unsigned long id = e->classId;
        STORABLE* object = entries.bRemove(*entries.first, 0);
        STREAMABLE* s = object ? object->ItemGetSTREAMABLE() : nullptr;
        if (s && !(s->flags & 0x02000000UL)) {
            DATACLASS* c = DATACLASS::findclass(id);
            if (c && c->destroy) c->destroy(s, id);
        }
        FreeEntry(e);
    }
}

int DATAPACKAGE::ItemStreamSize(BBOOL forPrefix) {
    if (forPrefix && (flags & SPF_WRITETHROUGH)) return 0;
    return 0;
}

BBOOL DATAPACKAGE::StreamOut(STREAMBUF& out) {
    out << ownLabel;
    out << BEGINDI(352);
    tableio::PutLong(out, (unsigned long)entries.count);
    out << ENDDI();
    for (bSPOINTER* c = entries.first; c->target; c = c->next) {
        LABEL<STORABLE>* e = LABEL<STORABLE>::FromCell(c);
        out << static_cast<DATALABEL&>(*e);
        STREAMABLE* s = c->target->ItemGetSTREAMABLE();
        if (s) out << *s;
    }
    return 1;
}

// Passes over one framed object whose class is unknown: its prefix, tag, id and body.
static void SkipObject(STREAMBUF& in) {
    unsigned long f = 0, code = 0, length = 0;
    long avail = in.cursor.length;
    if (avail <= 0) return;
    int used = ReadPrefix(in.cursor.data, (int)avail, f, code, length);
    in.cursor.data += used;
    in.cursor.length -= used;
    if (f & SPF_UNREADABLE) return;
    if ((f & SPF_CLASSTAG) && in.cursor.length >= 4) {
        in.cursor.data += 4;
        in.cursor.length -= 4;
    }
    if ((f & SPF_OBJECTID) && in.cursor.length >= 4) {
        in.cursor.data += 4;
        in.cursor.length -= 4;
    }
    if (f & SPF_OPENLENGTH) {
        in.cursor.data += in.cursor.length;  // no length: the rest cannot be told apart
        in.cursor.length = 0;
        return;
    }
    long skip = (long)length < in.cursor.length ? (long)length : in.cursor.length;
    in.cursor.data += skip;
    in.cursor.length -= skip;
}

BBOOL DATAPACKAGE::StreamIn(STREAMBUF& in) {
    in >> ownLabel;
    in >> BEGINDI();
    unsigned long n = tableio::GetU32(in, tableio::Swapped(in));
    in >> ENDDI();

    if (flags != 0 && ownLabel.labelName[0])
        Publish();
    else
        Unpublish();

    for (unsigned long i = 0; i < n && in.cursor.length > 0; i++) {
        DATALABEL label;
        in >> label;
        DATACLASS* c = DATACLASS::findclass(label.classId);
        STREAMABLE* made = c && c->create ? c->create(label.classId) : nullptr;
        STORABLE* object = made ? made->ItemGetSTORABLE() : nullptr;
        if (!object) {
            SkipObject(in);
            continue;
        }
        in >> *made;
        LABEL<STORABLE>& e = Add(*object, label.labelName);
        if (&e != &_NULLSLBL) e.classId = object->ItemClassID();
    }
    return 1;
}
