#pragma once
// The integer field of the console's dialogs: a formatted edit with a numeric
// formatter, bound to an int.
#include "zFormattedEdit.h"

class zIntEdit : public zFormattedEdit {
public:
    int* bound;

    zIntEdit(zWindow* parent, int id, int* value, const char* picture, unsigned long flags = 0);
    zIntEdit(zWindow* parent, int id, int* value, zFormatter* formatter, unsigned long flags = 0);
    // The picture "-#####".
    zIntEdit(zWindow* parent, int id, int* value, unsigned long flags = 0);
    zIntEdit(zWindow* parent, zSizer* sizer, unsigned long style, int* value, const char* picture,
             unsigned long flags = 0);
    zIntEdit(zWindow* parent, zSizer* sizer, unsigned long style, int* value, zFormatter* formatter,
             unsigned long flags = 0);
    zIntEdit(zWindow* parent, zSizer* sizer, unsigned long style, int* value, unsigned long flags = 0);

    int storeData() override;
    int setToDefault() override;
    int* setStoreAddr(int* value);
};
