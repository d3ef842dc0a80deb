// SPDX-FileCopyrightText: 2026 The Halvane developers
// SPDX-License-Identifier: LGPL-2.1-or-later

#ifndef QMAILDATACOMPARATOR_H
#define QMAILDATACOMPARATOR_H

// How a message key compares a property with the value it was given.
namespace QMailDataComparator {

enum EqualityComparator { Equal, NotEqual };
enum InclusionComparator { Includes, Excludes };
enum RelationComparator { LessThan, LessThanEqual, GreaterThan, GreaterThanEqual };

} // namespace QMailDataComparator

#endif // QMAILDATACOMPARATOR_H
