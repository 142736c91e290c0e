#pragma once
// The text an entity reference adds to a kept text: the entity's content, parsed once into a
// node list, is read out with every node and character charged to the document's expansion
// allowance.

#include "check/xml_document.h"

#include <cstddef>
#include <string>
#include <string_view>

struct _xmlDoc;

namespace kestrova {

// Takes `cost` from what is left of an expansion allowance; when less is left, spends the
// allowance to nothing and gives false.
bool ChargeAllowance(std::size_t& allowance, std::size_t cost);

// Appends the text of the entity `name` of `doc` to `out`, charging it to `allowance`. `depth`
// counts the elements and entities between the kept element and the reference. Gives Readable,
// or why the text cannot be read: the allowance is spent, or the entities nest deeper than
// kDeepestNesting.
TextState ReadEntityText(const _xmlDoc* doc, std::string_view name, int depth, std::string& out,
                         std::size_t& allowance);

} // namespace kestrova
