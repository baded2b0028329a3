#pragma once
// A stream destination whose buffers travel as whole messages over a link.
#include "QvBase.h"
#include "BaseItem.h"
#include "Streamable.h"
#include "CommLink.h"

class DATATRANSPORT : public STORABLE, public STREAMDEST {
public:
    DATATRANSPORT();
    DATATRANSPORT(const char* name, int size, IOMODE mode, BBOOL flag);
    ~DATATRANSPORT() override;

    QV_ITEM_IDENTITY(DATATRANSPORT, "DATATRANSPORT", "TRNa")

    int OpenStream(const char* name, int size, IOMODE mode) override;
    int CloseStream() override;
    int ReadBuffer() override;
    int WriteBuffer() override;

    // A link that has ended without an error code still must not read as success.
    int LinkFailure() const;

    COMMLINK* link;
    BBOOL ownsLink;
    long streamMode;
};
