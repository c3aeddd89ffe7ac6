#pragma once
// What the two files of the declared reader share: the lines of worked-out
// values, kept apart from the busy walk over the fields (in its file they
// used up the compiler's room for inlining, and the text report of a
// capture took 0.8% more).

#include <cstddef>

#include "service/declared_subrecord.h"
#include "service/field_list.h"

namespace EGTS {

// A worked-out time (kWorkedTime) of the subrecord or of its element.
void AddWorkedTime(const DeclaredSubrecord& subrecord, const DeclaredField& field,
                   std::size_t element, FieldList& out);
// A worked-out value of an element's, or one with a line of the text report.
void AddShownWorkedOut(const DeclaredSubrecord& subrecord, const DeclaredField& field,
                       std::size_t element, FieldList& out);

}  // namespace EGTS
