#include <gtest/gtest.h>

#include <cstring>

#include "ArgImage.h"
#include "ByteOrder.h"
#include "FdSet16.h"
#include "ThunkBridge.h"
#include "WsaData16.h"

namespace {

TEST(FdSet16, SetsCrossAsSixtyFiveWordsAndComeBackWidened) {
    ws11::fd_set set = {};
    set.fd_count = 3;
    set.fd_array[0] = 5;
    set.fd_array[1] = 0x12345;  // only the low half crosses
    set.fd_array[2] = 0x7FFE;
    uint8_t image[forms16::FdSetBytes];
    memset(image, 0xAB, sizeof image);
    FdSetTo16(set, image);
    EXPECT_EQ(3u, GetLe16(image));
    EXPECT_EQ(5u, GetLe16(image + 2));
    EXPECT_EQ(0x2345u, GetLe16(image + 4));
    EXPECT_EQ(0x7FFEu, GetLe16(image + 6));
    EXPECT_EQ(0u, GetLe16(image + 8)) << "all 64 slots cross, used or not";

    PutLe16(image, 0x8002);      // the count widens without sign
    PutLe16(image + 2, 0xFFFF);  // the sockets with sign
    ws11::fd_set back;
    FdSetFrom16(image, &back);
    EXPECT_EQ(0x8002u, back.fd_count);
    EXPECT_EQ(ws11::INVALID_SOCKET, back.fd_array[0]);
    EXPECT_EQ((ws11::SOCKET)0x2345, back.fd_array[1]);
    EXPECT_EQ((ws11::SOCKET)0x7FFE, back.fd_array[2]);
}

TEST(WsaData16, TheFieldsUpToMaxUdpDgArriveAsTheyAreWithAFlatVendorPointer) {
    uint8_t image[forms16::WsaDataBytes];
    for (int i = 0; i < forms16::WsaDataBytes; ++i) image[i] = (uint8_t)(i * 7 + 1);
    image[forms16::WsaDescription + forms16::WsaDescriptionBytes - 1] = 0;
    PutLe32(image + forms16::WsaVendor, 0x002F0000);
    EXPECT_EQ(0x002F0000u, WsaData16Vendor(image));
    ws11::WSADATA data;
    memset(&data, 0xEE, sizeof data);
    char vendor[] = "vendor";
    WsaDataFrom16(image, vendor, &data);
    EXPECT_EQ(GetLe16(image), data.wVersion);
    EXPECT_EQ(GetLe16(image + 2), data.wHighVersion);
    EXPECT_EQ(0, memcmp(data.szDescription, image + 4, 257));
    EXPECT_EQ(0, memcmp(data.szSystemStatus, image + 261, 129));
    EXPECT_EQ(GetLe16(image + 390), data.iMaxSockets);
    EXPECT_EQ(GetLe16(image + 392), data.iMaxUdpDg);
    EXPECT_EQ(vendor, data.lpVendorInfo);
#ifndef _WIN64
    // The 32-bit structure: 394 bytes as the image has them, two alignment bytes left alone.
    EXPECT_EQ(0, memcmp(&data, image, 394));
    EXPECT_EQ(0xEE, ((uint8_t*)&data)[394]);
    EXPECT_EQ(0xEE, ((uint8_t*)&data)[395]);
#endif
}

TEST(ArgImage, ValuesInParameterOrderLeastSignificantByteFirst) {
    uint8_t bytes[8];
    thunk::ArgImage image(bytes, sizeof bytes);
    image.W16(0x12345).D32(0xA1B2C3D4).W16(0xFFFF);
    EXPECT_FALSE(image.Overflowed());
    ASSERT_EQ(8u, image.Size());
    const uint8_t expect[] = {0x45, 0x23, 0xD4, 0xC3, 0xB2, 0xA1, 0xFF, 0xFF};
    EXPECT_EQ(0, memcmp(expect, bytes, 8));
    image.W16(1);
    EXPECT_TRUE(image.Overflowed());
    EXPECT_EQ(8u, image.Size());

    thunk::ArgReader reader(bytes, 8);
    EXPECT_EQ(0x2345, reader.W16());
    EXPECT_EQ(0xA1B2C3D4u, reader.D32());
    EXPECT_EQ(-1, reader.S16());
    EXPECT_FALSE(reader.Short());
    EXPECT_EQ(0u, reader.D32());
    EXPECT_TRUE(reader.Short());
}

// Each entry's image is the sum of its argument forms (w16 2, d32 and
// pointers 4); translated entries carry the export's argument bytes.
TEST(ThunkBridge, EntryShapesMatchTheArgumentForms) {
    struct Case {
        thunk::Entry entry;
        const char* forms;
        unsigned exportBytes;
    } cases[] = {
        {thunk::Accept, "wpp", 12},       {thunk::Bind, "wpw", 0},          {thunk::CloseSocket, "w", 0},
        {thunk::Connect, "wpw", 0},       {thunk::GetPeerName, "wpp", 12},  {thunk::GetSockName, "wpp", 12},
        {thunk::GetSockOpt, "wwwpp", 20}, {thunk::Htonl, "d", 0},           {thunk::Htons, "w", 0},
        {thunk::InetAddr, "p", 0},        {thunk::InetNtoa, "d", 0},        {thunk::IoctlSocket, "wdp", 0},
        {thunk::Listen, "ww", 0},         {thunk::Ntohl, "d", 0},           {thunk::Ntohs, "w", 0},
        {thunk::Recv, "wpww", 0},         {thunk::RecvFrom, "wpwwpp", 24},  {thunk::Select, "wpppp", 20},
        {thunk::Send, "wpww", 0},         {thunk::SendTo, "wpwwpw", 0},     {thunk::SetSockOpt, "wwwpw", 0},
        {thunk::Shutdown, "ww", 0},       {thunk::Socket, "www", 0},        {thunk::GetHostName, "pw", 0},
        {thunk::AsyncSelect, "wwwd", 0},  {thunk::SetBlockingHook, "d", 0}, {thunk::UnhookBlockingHook, "", 0},
        {thunk::GetLastError, "", 0},     {thunk::SetLastError, "w", 0},    {thunk::CancelBlockingCall, "", 0},
        {thunk::IsBlocking, "", 0},       {thunk::Startup, "wp", 8},        {thunk::Cleanup, "", 0},
        {thunk::FdIsSet, "wp", 8},        {thunk::ProtoNumberOf, "p", 0},   {thunk::ProtoNameOf, "w", 0},
        {thunk::ServPortOf, "pp", 0},     {thunk::ServNameOf, "wp", 0},     {thunk::HostAddressOf, "p", 0},
        {thunk::HostNameOf, "d", 0},
    };
    ASSERT_EQ((size_t)thunk::EntryCount, sizeof cases / sizeof cases[0]);
    for (const Case& c : cases) {
        unsigned bytes = 0;
        for (const char* f = c.forms; *f; ++f) bytes += *f == 'w' ? 2 : 4;
        const thunk::EntryShape& shape = thunk::ShapeOf(c.entry);
        EXPECT_EQ(bytes, shape.imageBytes) << shape.name;
        EXPECT_EQ(c.exportBytes, shape.exportBytes) << shape.name;
        if (c.exportBytes) {
            EXPECT_EQ((c.exportBytes << 8) | c.entry, thunk::TranslatingCode(c.entry)) << shape.name;
        }
    }
}

}  // namespace
