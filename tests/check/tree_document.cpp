#include "tests/check/tree_document.h"

#include "check/check_failure.h"
#include "check/parse_session.h"

#include <climits>
#include <cstring>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <memory>

namespace kestrova::tree {
namespace {

constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;

// Keeps the parser's first fatal error (the cause; later ones are consequences) while the
// parser runs, instead of letting libxml2 print it.
class ErrorCollector {
public:
    ErrorCollector() { xmlSetStructuredErrorFunc(this, &ErrorCollector::collect); }
    ~ErrorCollector() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
    ErrorCollector(const ErrorCollector&) = delete;
    ErrorCollector& operator=(const ErrorCollector&) = delete;

    ParseError error() const { return first_.errorCode != 0 ? first_ : last_; }

private:
    static void collect(void* self, xmlErrorPtr error) {
        auto& collector = *static_cast<ErrorCollector*>(self);
        if (error == nullptr || error->level < XML_ERR_ERROR)
            return;
        ParseError seen{error->code != 0 ? error->code : 1, Reason(error->message), error->line};
        if (error->level == XML_ERR_FATAL && collector.first_.errorCode == 0)
            collector.first_ = seen;
        collector.last_ = seen;
    }

    static std::string Reason(const char* message) {
        std::string reason = message != nullptr ? message : "The document cannot be parsed";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        return reason;
    }

    ParseError first_;
    ParseError last_;
};

struct ParserContextDeleter {
    void operator()(xmlParserCtxtPtr ctxt) const { xmlFreeParserCtxt(ctxt); }
};

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsXmlSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsXmlSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string_view View(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text))
                           : std::string_view();
}

bool IsTextLike(const xmlNode* node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

// A reference to an entity declared in the document's DTD stays a reference in the tree and is
// expanded only when a text is read, so a few hundred bytes of document can stand for gigabytes
// of text (nested or repeated entities). Every node and character that expansions yield counts
// against one allowance per document; past it the document is refused instead of being expanded.
constexpr std::size_t kEntityExpansionAllowance = 10'000'000;
// Far deeper than the parser lets elements and entities nest; only a guard for the stack.
constexpr int kDeepestTextNesting = 4096;

class TextGatherer {
public:
    TextGatherer(std::string& out, std::size_t& allowance) : out_(out), allowance_(allowance) {}

    // The text of the node's descendants in document order: text and CDATA, with entity
    // references expanded.
    void gatherChildren(const xmlNode* node, bool inEntity, int depth) {
        if (depth > kDeepestTextNesting)
            throw DocumentProblem("its elements or entities are nested too deeply to read a text");
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
            gather(child, inEntity, depth + 1);
    }

private:
    void gather(const xmlNode* node, bool inEntity, int depth) {
        switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE: {
            const std::string_view content = View(node->content);
            if (inEntity)
                charge(content.size() + 1);
            out_.append(content);
            break;
        }
        case XML_ENTITY_REF_NODE: {
            charge(1);
            const xmlEntity* entity = xmlGetDocEntity(node->doc, node->name);
            if (entity != nullptr)
                gatherChildren(reinterpret_cast<const xmlNode*>(entity), true, depth);
            break;
        }
        case XML_ELEMENT_NODE:
            if (inEntity)
                charge(1);
            gatherChildren(node, inEntity, depth);
            break;
        default: // comments and processing instructions add no text
            break;
        }
    }

    void charge(std::size_t amount) {
        if (amount > allowance_) {
            allowance_ = 0;
            throw DocumentProblem("its entity references expand to more than " +
                                  std::to_string(kEntityExpansionAllowance) + " characters");
        }
        allowance_ -= amount;
    }

    std::string& out_;
    std::size_t& allowance_;
};

TreeNode FirstChildElement(xmlNode* first, std::string_view name) {
    for (xmlNode* node = first; node != nullptr; node = node->next) {
        if (TreeNode(node).nodeName() == name)
            return TreeNode(node);
    }
    return TreeNode();
}

} // namespace

bool NodeName::operator==(std::string_view name) const {
    return element_ && prefix_.empty() && local_ == name;
}

std::string NodeName::str() const {
    return prefix_.empty() ? std::string(local_) : std::string(prefix_) + ":" + std::string(local_);
}

TreeNode TreeNode::selectSingleNode(std::string_view name) const {
    return node_ != nullptr ? FirstChildElement(node_->children, name) : TreeNode();
}

NodeName TreeNode::nodeName() const {
    switch (node_->type) {
    case XML_ELEMENT_NODE:
        return NodeName(true, node_->ns != nullptr ? View(node_->ns->prefix) : std::string_view(),
                        View(node_->name));
    case XML_TEXT_NODE:
        return NodeName(false, {}, "#text");
    case XML_CDATA_SECTION_NODE:
        return NodeName(false, {}, "#cdata-section");
    case XML_COMMENT_NODE:
        return NodeName(false, {}, "#comment");
    default:
        return NodeName(false, {}, View(node_->name));
    }
}

std::string TreeNode::text() const {
    if (IsTextLike(node_))
        return std::string(Trimmed(View(node_->content)));
    // The usual element holds one text node: read it in place.
    const xmlNode* child = node_->children;
    if (child == nullptr)
        return std::string();
    if (child->next == nullptr && IsTextLike(child))
        return std::string(Trimmed(View(child->content)));
    std::size_t unowned = kEntityExpansionAllowance;
    auto* allowance = node_->doc != nullptr && node_->doc->_private != nullptr
                          ? static_cast<std::size_t*>(node_->doc->_private)
                          : &unowned;
    std::string content;
    TextGatherer(content, *allowance).gatherChildren(node_, false, 0);
    return std::string(Trimmed(content));
}

TreeNode::ChildRange TreeNode::childNodes() const {
    return ChildRange(node_ != nullptr ? node_->children : nullptr);
}

TreeNode::ChildRange::iterator& TreeNode::ChildRange::iterator::operator++() {
    node_ = node_->next;
    return *this;
}

TreeDocument::TreeDocument() {
    PrepareParser();
}

TreeDocument::~TreeDocument() {
    if (doc_ != nullptr)
        xmlFreeDoc(doc_);
}

template <typename Parse> const ParseError& TreeDocument::parseWith(Parse parse) {
    if (doc_ != nullptr) {
        xmlFreeDoc(doc_);
        doc_ = nullptr;
    }
    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw std::bad_alloc();
    ErrorCollector errors;
    doc_ = parse(ctxt.get());
    entityAllowance_ = kEntityExpansionAllowance;
    if (doc_ != nullptr)
        doc_->_private = &entityAllowance_;
    parseError_ = doc_ != nullptr ? ParseError{} : errors.error();
    if (doc_ == nullptr && parseError_.errorCode == 0)
        parseError_ = ParseError{1, "The document cannot be parsed", 0};
    return parseError_;
}

const ParseError& TreeDocument::loadFromMemory(std::string_view bytes) {
    if (bytes.size() > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("document too large to parse from memory");
    return parseWith([&](xmlParserCtxtPtr ctxt) {
        return xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), "memory.kpj",
                                 nullptr, kParseOptions);
    });
}

TreeNode TreeDocument::selectSingleNode(std::string_view name) const {
    if (doc_ == nullptr)
        return TreeNode();
    TreeNode root(xmlDocGetRootElement(doc_));
    return root && root.nodeName() == name ? root : TreeNode();
}

} // namespace kestrova::tree
