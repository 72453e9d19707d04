#include "extractors/hashing_file_device.h"

#include <openssl/evp.h>

hashing_file_device::hashing_file_device(QIODevice* file) : file(file), context(EVP_MD_CTX_new())
{
    failed = !context || EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1;
}

hashing_file_device::~hashing_file_device()
{
    EVP_MD_CTX_free(context);
}

bool hashing_file_device::open_for_reading()
{
    return QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool hashing_file_device::seek(qint64 position)
{
    // Skipped bytes would be missing from the hash.
    return position == pos() && QIODevice::seek(position);
}

qint64 hashing_file_device::readData(char* data, qint64 max_size)
{
    const qint64 got = file->read(data, max_size);
    if (got > 0)
    {
        if (!failed && EVP_DigestUpdate(context, data, size_t(got)) != 1)
            failed = true;
        hashed_bytes += got;
    }
    else if (got == 0)
        reached_end = true;
    return got;
}

qint64 hashing_file_device::writeData(const char*, qint64)
{
    return -1;
}

void hashing_file_device::read_to_end()
{
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    while (read(chunk.data(), chunk.size()) > 0)
    {
    }
    reached_end = true;
}

QByteArray hashing_file_device::sha256_hex()
{
    if (failed)
        return QByteArray();
    // Finalise a copy: more bytes may still be read and hashed.
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    const bool ok = copy && EVP_MD_CTX_copy_ex(copy, context) == 1 &&
                    EVP_DigestFinal_ex(copy, digest, &size) == 1;
    EVP_MD_CTX_free(copy);
    if (!ok)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(digest), int(size)).toHex();
}
