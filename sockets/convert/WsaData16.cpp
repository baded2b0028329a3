#include "WsaData16.h"

#include <cstring>

#include "ByteOrder.h"

using namespace forms16;

uint32_t WsaData16Vendor(const uint8_t (&image)[WsaDataBytes]) { return GetLe32(image + WsaVendor); }

void WsaDataFrom16(const uint8_t (&image)[WsaDataBytes], char* vendor, ws11::WSADATA* out) {
    out->wVersion = GetLe16(image + WsaVersion);
    out->wHighVersion = GetLe16(image + WsaHighVersion);
    memcpy(out->szDescription, image + WsaDescription, WsaDescriptionBytes);
    memcpy(out->szSystemStatus, image + WsaStatus, WsaStatusBytes);
    out->iMaxSockets = GetLe16(image + WsaMaxSockets);
    out->iMaxUdpDg = GetLe16(image + WsaMaxUdpDg);
    out->lpVendorInfo = vendor;
}
