#ifndef ENCRYPTOR_STRING_H
#define ENCRYPTOR_STRING_H

// Keyed byte cipher for debug-log lines: version byte, flags byte, then a chained XOR of a
// random byte, an integrity field and the (optionally compressed) payload.

#include <QByteArray>
#include <QString>
#include <QVector>

class encryptor_string
{
public:
    enum compression_mode_enum
    {
        compress_auto = 0,
        compress_always = 1,
        compress_never = 2
    };
    enum integrity_mode_enum
    {
        integrity_none = 0,
        integrity_checksum = 1,
        integrity_hash = 2
    };
    enum error_enum
    {
        error_none = 0,
        error_no_key = 1,
        error_unknown_version = 2,
        error_integrity = 3
    };
    enum flag_enum
    {
        flag_compressed = 0x01,
        flag_checksum = 0x02,
        flag_hash = 0x04
    };

    // The key every log writer and reader of the suite shares.
    static const quint64 built_in_key;

    encryptor_string();

    QByteArray encryptToByteArray(QByteArray plaintext);
    QByteArray encryptToByteArray(const QString& plaintext);
    QString encryptToString(QByteArray plaintext);
    QString encryptToString(const QString& plaintext);
    QByteArray decryptToByteArray(QByteArray cypher);
    QByteArray decryptToByteArray(const QString& cyphertext);
    QString decryptToString(const QString& cyphertext);
    QString decryptToString(QByteArray cypher);

    error_enum lastError() const { return last_error; }

private:
    void splitKey();

    quint64 key;
    QVector<char> key_bytes;
    compression_mode_enum compression_mode;
    integrity_mode_enum integrity_mode;
    error_enum last_error;
};

#endif
