#ifndef MACOS_AUTORELEASE_POOL_H
#define MACOS_AUTORELEASE_POOL_H

// Scope for the platform objects created during one getter call, drained when it ends.

#include <QtGlobal>

class macos_autorelease_pool
{
  public:
    macos_autorelease_pool();
    ~macos_autorelease_pool();
    macos_autorelease_pool(const macos_autorelease_pool&) = delete;
    macos_autorelease_pool& operator=(const macos_autorelease_pool&) = delete;

    // Pools of the calling thread: open now, and created so far.
    static int open_count();
    static qint64 created_count();
};

#endif
