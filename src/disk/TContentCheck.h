#pragma once

#include "engine/VantrelLib.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class TBaseElement;
struct TVantrelApi;

// A cheap check of a deleted file's first bytes against the signature its extension
// promises (JPEG, PNG, PDF, ZIP and the formats built on it, OLE2, media containers,
// archives, executables, ...): a file whose clusters are free but hold another file's
// data, or zeros, does not start the way its type must. One read of at most HeadBytes
// per file. Files whose extension has no signature, live files and folders are not
// judged.
class TContentCheck
{
public:
    enum class Verdict
    {
        Match,    // the first bytes are what the type starts with
        Mismatch, // they are not
        Unknown,  // no signature for the type, too few bytes, or nothing could be read
    };

    // The most bytes a check reads.
    static constexpr int64_t HeadBytes = 4096;

    // Whether the extension of name (after its last dot, any case) has a signature.
    static bool KnownType(const QString& name);
    // The bytes a check of name reads from the start of a file of size bytes: 0 when its
    // type has no signature.
    static int64_t BytesToRead(const QString& name, int64_t size);
    // The verdict on head, the first bytes of a file named name (as many as could be read).
    static Verdict CheckHead(const QString& name, const QByteArray& head);

    // Whether a check may change element's rating: a deleted file, unrated or rated
    // intact, partly overwritten or a fragmented guess, of a type with a signature, not
    // checked before.
    static bool Applies(const TBaseElement& element);

    // Reads the first bytes of the entry record names, a file called name of size bytes,
    // through api and judges them. Touches no element: safe on any thread while the
    // drive stays initialised (the engine's read call is).
    static Verdict Probe(const TVantrelApi& api, const TFileInfo& record, const QString& name, int64_t size);
    // Records a verdict on element: it counts as checked, and a mismatch rates it
    // Rating::Mismatch. Call it where the element's other readers live (the GUI thread).
    static void Apply(TBaseElement& element, Verdict verdict);
    // Checks element now, on the calling thread, when Applies(element): Probe through the
    // engine in use, then Apply. Unknown when the check does not apply.
    static Verdict Check(TBaseElement& element);
};
