#include "support/macos_values/macos_autorelease_pool.h"

// The portable build's values are owned by their callers, so a pool only keeps count.
namespace
{
thread_local int open_pools_int = 0;
thread_local qint64 created_pools_qint64 = 0;
} // namespace

macos_autorelease_pool::macos_autorelease_pool()
{
    ++open_pools_int;
    ++created_pools_qint64;
}

macos_autorelease_pool::~macos_autorelease_pool()
{
    --open_pools_int;
}

int macos_autorelease_pool::open_count()
{
    return open_pools_int;
}

qint64 macos_autorelease_pool::created_count()
{
    return created_pools_qint64;
}
