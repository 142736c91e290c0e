#include "check/entity_text.h"

#include "check/libxml_text.h"

#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

namespace kestrova {
namespace {

class EntityReader {
public:
    EntityReader(std::string& out, std::size_t& allowance) : out_(out), allowance_(allowance) {}

    // `depth` counts the elements and entities between the kept element and the reference.
    TextState readReference(const xmlDoc* doc, std::string_view name, int depth) {
        if (!charge(1))
            return TextState::ExpansionsExhausted;
        xmlEntity* entity =
            xmlGetDocEntity(doc, reinterpret_cast<const xmlChar*>(std::string(name).c_str()));
        if (entity == nullptr)
            return TextState::Readable;
        if (entity->children == nullptr && !keepParsedContent(const_cast<xmlDoc*>(doc), *entity))
            return TextState::ExpansionsExhausted;
        return readChildren(reinterpret_cast<const xmlNode*>(entity), depth);
    }

private:
    // An entity that the parser first met in an attribute value has its text expanded there and
    // no parsed content kept, and the parser does not keep it when the entity is met again in
    // element content; without it the reference would read as empty. Its content is parsed
    // here once and kept with the entity, as the parser keeps it for an entity first met in
    // content. Errors of this parse are no errors of the document (the parser reports those
    // itself), so they are not passed on.
    bool keepParsedContent(xmlDoc* doc, xmlEntity& entity) {
        if (entity.etype != XML_INTERNAL_GENERAL_ENTITY || entity.content == nullptr ||
            entity.content[0] == 0)
            return true;
        if (!charge(View(entity.content).size()))
            return false;
        const xmlStructuredErrorFunc previousStructured = xmlStructuredError;
        void* const previousStructuredContext = xmlStructuredErrorContext;
        xmlSetStructuredErrorFunc(nullptr, IgnoreError);
        xmlNodePtr list = nullptr;
        const int failed =
            xmlParseBalancedChunkMemory(doc, nullptr, nullptr, 0, entity.content, &list);
        xmlSetStructuredErrorFunc(previousStructuredContext, previousStructured);
        if (failed != 0 || list == nullptr) {
            xmlFreeNodeList(list);
            return true;
        }
        entity.children = list;
        entity.owner = 1;
        for (xmlNodePtr node = list; node != nullptr; node = node->next) {
            node->parent = reinterpret_cast<xmlNodePtr>(&entity);
            entity.last = node;
        }
        return true;
    }

    static void IgnoreError(void*, xmlErrorPtr) {}

    TextState readChildren(const xmlNode* node, int depth) {
        if (depth > kDeepestNesting)
            return TextState::NestedTooDeeply;
        for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
            const TextState state = read(child, depth + 1);
            if (state != TextState::Readable)
                return state;
        }
        return TextState::Readable;
    }

    TextState read(const xmlNode* node, int depth) {
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE: {
            const std::string_view content = View(node->content);
            if (!charge(content.size() + 1))
                return TextState::ExpansionsExhausted;
            out_.append(content);
            return TextState::Readable;
        }
        case XML_ENTITY_REF_NODE:
            return readReference(node->doc, View(node->name), depth);
        case XML_ELEMENT_NODE:
            if (!charge(1))
                return TextState::ExpansionsExhausted;
            return readChildren(node, depth);
        default: // comments and processing instructions add no text
            return TextState::Readable;
        }
    }

    bool charge(std::size_t amount) { return ChargeAllowance(allowance_, amount); }

    std::string& out_;
    std::size_t& allowance_;
};

} // namespace

bool ChargeAllowance(std::size_t& allowance, std::size_t cost) {
    if (cost > allowance) {
        allowance = 0;
        return false;
    }
    allowance -= cost;
    return true;
}

TextState ReadEntityText(const _xmlDoc* doc, std::string_view name, int depth, std::string& out,
                         std::size_t& allowance) {
    return EntityReader(out, allowance).readReference(doc, name, depth);
}

} // namespace kestrova
