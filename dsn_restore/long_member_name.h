#pragma once
// How a box names a backup member whose name the registry would refuse: the
// name cut short, and its length against the registry's limit.
#include <string>

namespace dsn_restore {

// A name as a box can show it: a long one cut after at most 40 UTF-16 units,
// never between the halves of a surrogate pair, with a mark that it was cut.
std::u16string ShortenedName(const std::u16string& name);

// "has <n> characters, and the registry takes value names of at most 16383"
// for a name that is all ASCII (one UTF-16 unit a character); any other name
// is counted in UTF-16 units, the registry's own measure (an emoji takes two).
std::u16string NameLengthAgainstTheLimit(const std::u16string& name);

}  // namespace dsn_restore
