#include "AppUser.h"

#include "TextHelpers.h"

APPUSER::APPUSER(const char* a, const char* n, const char* p, BBOOL loggedIn, BBOOL removeFree)
    : removeWhenFree(removeFree), inUse(loggedIn ? 1 : 0) {
    _strzcpy(address, a ? a : "", sizeof address);
    _strzcpy(name, n ? n : "", sizeof name);
    _strzcpy(password, p ? p : "", sizeof password);
}

APPUSER::APPUSER(const APPUSER& other) : BASEITEM(), STORABLE(other), removeWhenFree(0), inUse(0) {
    _strzcpy(address, other.address, sizeof address);
    _strzcpy(name, other.name, sizeof name);
    _strzcpy(password, other.password, sizeof password);
}

APPUSER::~APPUSER() {}
