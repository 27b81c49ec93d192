// What the two users of the Firebird client inside db/ share: the client's master interface
// and a status wrapper. Only db/ may include it.
#pragma once

#include <firebird/Interface.h>

namespace fbclient {

inline Firebird::IMaster *master()
{
    static Firebird::IMaster *m = Firebird::fb_get_master_interface();
    return m;
}

// A status wrapper that is disposed of however the block is left.
class Status : public Firebird::ThrowStatusWrapper
{
public:
    Status() : ThrowStatusWrapper(master()->getStatus()) {}
    ~Status() { dispose(); }
};

} // namespace fbclient
