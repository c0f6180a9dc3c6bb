#pragma once
// Rules of the update dialog that need no widget. QtCore only.

#include <QString>

namespace updaterules {

// True only when `latest` is a plain dotted version ("1.2.10") ordered after
// `current`; empty, equal, older and decorated texts ("test_1.1") are not newer.
bool isNewerVersion(const QString& current, const QString& latest);

// True for a name that is safe to join to the downloads folder: not empty, not
// ".", no folder separator, no "..", no control character.
bool isPlainFileName(const QString& name);

// True when both are the same 32-digit hexadecimal MD5, in any letter case.
bool sameDigest(const QString& computed, const QString& expected);

}  // namespace updaterules
