#ifndef HASHING_FILE_DEVICE_H
#define HASHING_FILE_DEVICE_H

// A read-only device over an opened evidence file that feeds every byte read through it into a
// SHA-256 (OpenSSL's EVP, which uses the processor's SHA instructions), so the hash of a file
// comes from the very chunks its reader reads, without a second read.

#include <QByteArray>
#include <QIODevice>

struct evp_md_ctx_st;

class hashing_file_device : public QIODevice
{
  public:
    // `file` must be open for reading and outlive this device; it is not owned.
    explicit hashing_file_device(QIODevice* file);
    ~hashing_file_device() override;
    hashing_file_device(const hashing_file_device&) = delete;
    hashing_file_device& operator=(const hashing_file_device&) = delete;

    // Opens this device read-only (unbuffered: the reader has its own chunks).
    bool open_for_reading();

    // Reads what the reader left unread, so that the hash covers the whole file.
    void read_to_end();

    // True once read_to_end() has run: the hash covers every byte of the file.
    bool at_file_end() const { return reached_end; }
    qint64 bytes_hashed() const { return hashed_bytes; }
    // Lower-case hex of the SHA-256 of the bytes read so far; empty when hashing failed.
    QByteArray sha256_hex();

    // Positions count the bytes read (the reader reports line offsets from them); no seeking.
    qint64 size() const override { return file->size(); }
    bool seek(qint64 position) override;

  protected:
    qint64 readData(char* data, qint64 max_size) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    QIODevice* file;
    evp_md_ctx_st* context = nullptr;
    qint64 hashed_bytes = 0;
    bool reached_end = false;
    bool failed = false;
};

#endif
