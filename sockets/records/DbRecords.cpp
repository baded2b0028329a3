#include "DbRecords.h"

#include <cstring>

#include "ByteOrder.h"

namespace records {

namespace {

// Field offsets of each structure for 4- and 8-byte pointers.
struct HostentShape {
    unsigned name, aliases, addrtype, length, addrList, header;
};
struct ServentShape {
    unsigned name, aliases, port, proto, header;
};
struct ProtoentShape {
    unsigned name, aliases, proto, header;
};

const HostentShape HostentShapes[2] = {{0, 4, 8, 10, 12, 16}, {0, 8, 16, 18, 24, 32}};
const ServentShape ServentShapes[2] = {{0, 4, 8, 12, 16}, {0, 8, 24, 16, 32}};
const ProtoentShape ProtoentShapes[2] = {{0, 4, 8, 12}, {0, 8, 16, 24}};

unsigned Pick(unsigned width) { return width == 8 ? 1 : 0; }
unsigned Align(unsigned at, unsigned width) { return (at + width - 1) / width * width; }

// Where the host record's tail parts lie.
struct HostentTail {
    unsigned addrList, address, aliases, name;
};
HostentTail TailOf(unsigned width) {
    HostentTail t;
    t.addrList = HostentShapes[Pick(width)].header;
    t.address = t.addrList + 2 * width;
    t.aliases = Align(t.address + 4, width);
    t.name = t.aliases + width;
    return t;
}

class Block {
public:
    Block(void* at, PointerForm form) : at_(static_cast<unsigned char*>(at)), form_(form) {}
    void Pointer(unsigned offset, unsigned target) {
        uint64_t v = form_.base + target;
        PutLe32(at_ + offset, (uint32_t)v);
        if (form_.width == 8) PutLe32(at_ + offset + 4, (uint32_t)(v >> 32));
    }
    void Short(unsigned offset, int value) { PutLe16(at_ + offset, (uint32_t)value); }
    void Bytes(unsigned offset, const void* from, size_t n) { memcpy(at_ + offset, from, n); }

private:
    unsigned char* at_;
    PointerForm form_;
};

// The size check and zeroing every builder starts with.
bool Fits(void* block, int* length, int size) {
    if (*length < size) {
        *length = size;
        return false;
    }
    memset(block, 0, size);
    return true;
}

}  // namespace

int HostentSize(unsigned width, size_t nameLength) { return (int)(TailOf(width).name + nameLength + 1); }

int ServentSize(unsigned width, size_t nameLength, size_t protoLength) {
    return (int)(ServentShapes[Pick(width)].header + width + nameLength + 1 + protoLength + 1);
}

int ProtoentSize(unsigned width, size_t nameLength) {
    return (int)(ProtoentShapes[Pick(width)].header + width + nameLength + 1);
}

bool BuildHostent(void* block, int* length, PointerForm form, const char* name, uint32_t address, int type,
                  int addressLength) {
    size_t n = strlen(name);
    if (!Fits(block, length, HostentSize(form.width, n))) return false;
    const HostentShape& s = HostentShapes[Pick(form.width)];
    HostentTail t = TailOf(form.width);
    Block b(block, form);
    b.Pointer(s.name, t.name);
    b.Pointer(s.aliases, t.aliases);
    b.Short(s.addrtype, type);
    b.Short(s.length, addressLength);
    b.Pointer(s.addrList, t.addrList);
    b.Pointer(t.addrList, t.address);
    b.Bytes(t.address, &address, 4);
    b.Bytes(t.name, name, n + 1);
    return true;
}

bool BuildServent(void* block, int* length, PointerForm form, const char* name, const char* proto, int port) {
    size_t n = strlen(name), p = strlen(proto);
    if (!Fits(block, length, ServentSize(form.width, n, p))) return false;
    const ServentShape& s = ServentShapes[Pick(form.width)];
    unsigned aliases = s.header, nameAt = s.header + form.width, protoAt = nameAt + (unsigned)n + 1;
    Block b(block, form);
    b.Pointer(s.name, nameAt);
    b.Pointer(s.aliases, aliases);
    b.Short(s.port, port);
    b.Pointer(s.proto, protoAt);
    b.Bytes(nameAt, name, n + 1);
    b.Bytes(protoAt, proto, p + 1);
    return true;
}

bool BuildProtoent(void* block, int* length, PointerForm form, const char* name, int number) {
    size_t n = strlen(name);
    if (!Fits(block, length, ProtoentSize(form.width, n))) return false;
    const ProtoentShape& s = ProtoentShapes[Pick(form.width)];
    unsigned aliases = s.header, nameAt = s.header + form.width;
    Block b(block, form);
    b.Pointer(s.name, nameAt);
    b.Pointer(s.aliases, aliases);
    b.Short(s.proto, number);
    b.Bytes(nameAt, name, n + 1);
    return true;
}

}  // namespace records
