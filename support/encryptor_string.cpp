#include "support/encryptor_string.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QtDebug>

#include <cstdlib>

// Shared by every writer and reader of encrypted logs; change it and old logs stay unreadable.
const quint64 encryptor_string::built_in_key = Q_UINT64_C(0x5a3c96e1f07b42d8);

namespace
{
void chain_xor(QByteArray& block, const QVector<char>& key_bytes, bool decrypting)
{
    char previous = 0;
    for (qsizetype p = 0; p < block.size(); ++p)
    {
        const char byte = block.at(p);
        block[p] = char(byte ^ key_bytes.at(p % 8) ^ previous);
        previous = decrypting ? byte : block.at(p);
    }
}

QByteArray checksum_bytes(const QByteArray& payload)
{
    const quint16 crc = qChecksum(QByteArrayView(payload), Qt::ChecksumIso3309);
    QByteArray field(2, 0);
    field[0] = char(crc >> 8);
    field[1] = char(crc & 0xff);
    return field;
}
} // namespace

encryptor_string::encryptor_string()
    : compression_mode(compress_auto), integrity_mode(integrity_checksum), last_error(error_none)
{
    std::srand(unsigned(QDateTime::currentMSecsSinceEpoch() & 0xFFFF));
    key = built_in_key;
    splitKey();
}

void encryptor_string::splitKey()
{
    key_bytes.clear();
    key_bytes.resize(8);
    for (int i = 0; i < 8; ++i)
        key_bytes[i] = char((key >> (8 * i)) & 0xff);
}

QByteArray encryptor_string::encryptToByteArray(QByteArray plaintext)
{
    if (key_bytes.isEmpty())
    {
        qWarning() << "No key set.";
        last_error = error_no_key;
        return QByteArray();
    }

    char flags = 0;
    QByteArray payload = plaintext;
    if (compression_mode == compress_always)
    {
        payload = qCompress(plaintext, 9);
        flags |= flag_compressed;
    }
    else if (compression_mode == compress_auto)
    {
        const QByteArray compressed = qCompress(plaintext, 9);
        if (compressed.size() < plaintext.size())
        {
            payload = compressed;
            flags |= flag_compressed;
        }
    }

    QByteArray integrity;
    if (integrity_mode == integrity_checksum)
    {
        integrity = checksum_bytes(payload);
        flags |= flag_checksum;
    }
    else if (integrity_mode == integrity_hash)
    {
        integrity = QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
        flags |= flag_hash;
    }

    QByteArray block = QByteArray(1, char(std::rand() & 0xFF)) + integrity + payload;
    chain_xor(block, key_bytes, false);
    last_error = error_none;
    return QByteArray(1, char(3)) + QByteArray(1, flags) + block;
}

QByteArray encryptor_string::encryptToByteArray(const QString& plaintext)
{
    return encryptToByteArray(plaintext.toUtf8());
}

QString encryptor_string::encryptToString(QByteArray plaintext)
{
    return QString::fromLatin1(encryptToByteArray(plaintext).toBase64());
}

QString encryptor_string::encryptToString(const QString& plaintext)
{
    return encryptToString(plaintext.toUtf8());
}

QByteArray encryptor_string::decryptToByteArray(QByteArray cypher)
{
    if (key_bytes.isEmpty())
    {
        qWarning() << "No key set.";
        last_error = error_no_key;
        return QByteArray();
    }
    // Too short to be a cyphertext at all: say so rather than leave the last outcome standing.
    if (cypher.size() < 3)
    {
        last_error = error_unknown_version;
        return QByteArray();
    }
    if (cypher.at(0) != char(3))
    {
        last_error = error_unknown_version;
        qWarning() << "Invalid version or not a cyphertext.";
        return QByteArray();
    }

    const char flags = cypher.at(1);
    QByteArray block = cypher.mid(2);
    chain_xor(block, key_bytes, true);
    block.remove(0, 1); // the random byte

    if (flags & flag_checksum)
    {
        if (block.size() < 2)
        {
            last_error = error_integrity;
            return QByteArray();
        }
        const quint16 stored = quint16((quint8(block.at(0)) << 8) | quint8(block.at(1)));
        block.remove(0, 2);
        if (qChecksum(QByteArrayView(block), Qt::ChecksumIso3309) != stored)
        {
            last_error = error_integrity;
            return QByteArray();
        }
    }
    else if (flags & flag_hash)
    {
        if (block.size() < 20)
        {
            last_error = error_integrity;
            return QByteArray();
        }
        const QByteArray stored = block.left(20);
        block.remove(0, 20);
        if (QCryptographicHash::hash(block, QCryptographicHash::Sha1) != stored)
        {
            last_error = error_integrity;
            return QByteArray();
        }
    }

    if (flags & flag_compressed)
    {
        const QByteArray expanded = qUncompress(block);
        // A payload that does not expand is no plaintext, even when its integrity field matched.
        if (expanded.isEmpty() && block != qCompress(QByteArray(), 9))
        {
            last_error = error_integrity;
            return QByteArray();
        }
        block = expanded;
    }
    last_error = error_none;
    return block;
}

QByteArray encryptor_string::decryptToByteArray(const QString& cyphertext)
{
    return decryptToByteArray(QByteArray::fromBase64(cyphertext.toLatin1()));
}

QString encryptor_string::decryptToString(const QString& cyphertext)
{
    return QString::fromUtf8(decryptToByteArray(cyphertext));
}

QString encryptor_string::decryptToString(QByteArray cypher)
{
    return QString::fromUtf8(decryptToByteArray(cypher));
}
