#include "support/encryptor_string.h"

// Placeholder until the cipher lands: passes text through as Base64.
const quint64 encryptor_string::built_in_key = 0;

encryptor_string::encryptor_string()
    : key(built_in_key), compression_mode(compress_auto), integrity_mode(integrity_checksum), last_error(error_none)
{
    splitKey();
}

void encryptor_string::splitKey()
{
    key_bytes.clear();
    key_bytes.resize(8);
    for (int i = 0; i < 8; ++i)
        key_bytes[i] = char((key >> (8 * i)) & 0xff);
}

QByteArray encryptor_string::encryptToByteArray(QByteArray plaintext) { return plaintext; }
QByteArray encryptor_string::encryptToByteArray(const QString& plaintext) { return plaintext.toUtf8(); }
QString encryptor_string::encryptToString(QByteArray plaintext) { return QString::fromLatin1(plaintext.toBase64()); }
QString encryptor_string::encryptToString(const QString& plaintext) { return encryptToString(plaintext.toUtf8()); }
QByteArray encryptor_string::decryptToByteArray(QByteArray cypher) { return cypher; }
QByteArray encryptor_string::decryptToByteArray(const QString& cyphertext)
{
    return QByteArray::fromBase64(cyphertext.toLatin1());
}
QString encryptor_string::decryptToString(const QString& cyphertext)
{
    return QString::fromUtf8(decryptToByteArray(cyphertext));
}
QString encryptor_string::decryptToString(QByteArray cypher) { return QString::fromUtf8(cypher); }
