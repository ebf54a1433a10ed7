#pragma once
// Reads the records of EMF and WMF files back for the tests and plays the
// object table the way a reader does, so that a file that selects a deleted
// object, deletes one a saved state still holds, or runs past its declared
// table is caught.
#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qv::test {

inline quint32 U32(const QByteArray& b, int at) { return qFromLittleEndian<quint32>(b.constData() + at); }
inline qint32 I32(const QByteArray& b, int at) { return qFromLittleEndian<qint32>(b.constData() + at); }
inline quint16 U16(const QByteArray& b, int at) { return qFromLittleEndian<quint16>(b.constData() + at); }
inline qint16 I16(const QByteArray& b, int at) { return qFromLittleEndian<qint16>(b.constData() + at); }

struct TRecord {
    quint32 type = 0; // EMF record type, or the WMF function number
    QByteArray bytes; // the whole record
};

// Object table of a reader: live, what each slot holds, what is selected
// now and in every saved state. problems collects what a reader would
// stumble on.
struct TObjectTable {
    std::map<quint32, char> live; // handle -> 'P'en, 'B'rush, 'F'ont
    std::map<char, quint32> selected;
    std::vector<std::map<char, quint32>> saved;
    std::vector<std::string> problems;
    quint32 highest = 0;

    void Create(quint32 h, char kind)
    {
        if (live.count(h))
            problems.push_back("object " + std::to_string(h) + " created over a live one");
        live[h] = kind;
        highest = std::max(highest, h);
    }
    void Select(quint32 h)
    {
        auto it = live.find(h);
        if (it == live.end()) {
            problems.push_back("selected missing object " + std::to_string(h));
            return;
        }
        selected[it->second] = h;
    }
    void Delete(quint32 h)
    {
        if (!live.count(h))
            problems.push_back("deleted missing object " + std::to_string(h));
        for (const auto& state : saved)
            for (const auto& [kind, held] : state)
                if (held == h)
                    problems.push_back("deleted object " + std::to_string(h) + " held by a saved state");
        live.erase(h);
    }
    void Save() { saved.push_back(selected); }
    void Restore()
    {
        if (saved.empty()) {
            problems.push_back("restore without save");
            return;
        }
        selected = saved.back();
        saved.pop_back();
    }
    // The lowest free slot: where the old format's reader puts a new object.
    quint32 LowestFree() const
    {
        quint32 h = 0;
        while (live.count(h))
            ++h;
        return h;
    }
};

inline std::vector<TRecord> EmfRecords(const QByteArray& file)
{
    std::vector<TRecord> out;
    int at = 0;
    while (at + 8 <= file.size()) {
        const quint32 type = U32(file, at), size = U32(file, at + 4);
        if (size < 8 || size % 4 || at + int(size) > file.size())
            break;
        out.push_back({type, file.mid(at, int(size))});
        at += int(size);
        if (type == 14) // EOF
            break;
    }
    return out;
}

// Plays the objects of an EMF file.
inline TObjectTable PlayEmfObjects(const std::vector<TRecord>& records)
{
    TObjectTable t;
    for (const auto& r : records) {
        switch (r.type) {
        case 38: t.Create(U32(r.bytes, 8), 'P'); break;  // CREATEPEN
        case 95: t.Create(U32(r.bytes, 8), 'P'); break;  // EXTCREATEPEN
        case 39: t.Create(U32(r.bytes, 8), 'B'); break;  // CREATEBRUSHINDIRECT
        case 82: t.Create(U32(r.bytes, 8), 'F'); break;  // EXTCREATEFONTINDIRECTW
        case 37:                                          // SELECTOBJECT
            if (!(U32(r.bytes, 8) & 0x80000000u))
                t.Select(U32(r.bytes, 8));
            break;
        case 40: t.Delete(U32(r.bytes, 8)); break; // DELETEOBJECT
        case 33: t.Save(); break;
        case 34: t.Restore(); break;
        default: break;
        }
    }
    return t;
}

// Text of an EXTTEXTOUTW record.
inline QString EmfText(const TRecord& r)
{
    const quint32 n = U32(r.bytes, 44), off = U32(r.bytes, 48);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(r.bytes.constData() + off), int(n));
}

// Records after the placeable header and the file header.
inline std::vector<TRecord> WmfRecords(const QByteArray& file)
{
    std::vector<TRecord> out;
    int at = 22 + 18;
    while (at + 6 <= file.size()) {
        const quint32 words = U32(file, at);
        const quint16 function = U16(file, at + 4);
        if (words < 3 || at + int(words * 2) > file.size())
            break;
        out.push_back({function, file.mid(at, int(words * 2))});
        at += int(words * 2);
        if (function == 0)
            break;
    }
    return out;
}

// Plays the objects of a WMF file: a new object takes the lowest free slot.
inline TObjectTable PlayWmfObjects(const std::vector<TRecord>& records)
{
    TObjectTable t;
    for (const auto& r : records) {
        switch (r.type) {
        case 0x02FA: t.Create(t.LowestFree(), 'P'); break;
        case 0x02FC: t.Create(t.LowestFree(), 'B'); break;
        case 0x02FB: t.Create(t.LowestFree(), 'F'); break;
        case 0x012D: t.Select(U16(r.bytes, 6)); break;
        case 0x01F0: t.Delete(U16(r.bytes, 6)); break;
        case 0x001E: t.Save(); break;
        case 0x0127: t.Restore(); break;
        default: break;
        }
    }
    return t;
}

// Bytes of an EXTTEXTOUT record's text (no clip rectangle).
inline QByteArray WmfText(const TRecord& r) { return r.bytes.mid(14, I16(r.bytes, 10)); }

inline std::vector<TRecord> OfType(const std::vector<TRecord>& records, quint32 type)
{
    std::vector<TRecord> out;
    for (const auto& r : records)
        if (r.type == type)
            out.push_back(r);
    return out;
}

} // namespace qv::test
