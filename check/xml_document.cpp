#include "check/xml_document.h"

#include "check/check_failure.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

namespace kestrova {
namespace {

// A project file names no other resource the check needs, so nothing outside it is read: no
// DTD, no external entity, no network address.
xmlParserInputPtr RefuseExternalResource(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void PrepareParser() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalResource);
    });
}

// XML_PARSE_HUGE lifts the parser's own limits on text size and nesting; the guards of this
// file take their place with messages that name the cause.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;

bool IsItemKind(ElementKind kind) {
    return ItemKindOf(kind).has_value();
}

// The elements whose text the check reads.
bool ReadsText(ElementKind kind) {
    return kind == ElementKind::Name || kind == ElementKind::Scrap ||
           kind == ElementKind::StartTime || kind == ElementKind::EndTime;
}

// The elements whose findings name their line.
bool KeepsLine(ElementKind kind) {
    return kind == ElementKind::Layer || IsItemKind(kind);
}

bool IsXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view View(const xmlChar* text) {
    return text != nullptr ? std::string_view(reinterpret_cast<const char*>(text))
                           : std::string_view();
}

std::string_view View(const xmlChar* text, int length) {
    return std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

std::string ExpansionLimitText() {
    return "its entity references expand to more than " +
           std::to_string(kEntityExpansionAllowance) + " characters";
}

// Entity references in the texts the check reads: the entity's content, parsed once by the
// parser into a node list, is read out with every node and character charged to the allowance.
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

    bool charge(std::size_t amount) {
        if (amount > allowance_) {
            allowance_ = 0;
            return false;
        }
        allowance_ -= amount;
        return true;
    }

    std::string& out_;
    std::size_t& allowance_;
};

// One parse: the builder, the guards' state and what went wrong. Every libxml2 callback reaches
// it through the parser context, and none lets an exception out: a failure is recorded, the
// parser stopped, and the failure rethrown once the parser has returned.
class ParseSession {
public:
    // `projectSize` is read once the document element starts, when the parser has taken the
    // project's first bytes.
    ParseSession(xmlParserCtxtPtr parser, const std::uint64_t& projectSize)
        : parser_(parser), projectSize_(projectSize) {}
    // A declaration met once the allowance is spent looks its entity up again to keep its raw
    // value with it, and so hands that value to the empty entity, which libxml2 never frees.
    ~ParseSession() { xmlFree(refused_.orig); }
    ParseSession(const ParseSession&) = delete;
    ParseSession& operator=(const ParseSession&) = delete;

    static ParseSession& of(void* ctx) {
        return *static_cast<ParseSession*>(static_cast<xmlParserCtxtPtr>(ctx)->_private);
    }

    // Entity content is parsed on contexts of its own, into the entity's node list, as a tree
    // parse would; only the document's own content reaches the compact document.
    bool inDocumentContent(void* ctx) const { return ctx == parser_; }

    // For the content callbacks, where libxml2 expects a stop.
    template <typename Step> void guarded(void* ctx, Step step) noexcept {
        if (!failure_) {
            try {
                step();
                return;
            } catch (...) {
                record(std::current_exception());
            }
        }
        xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
    }

    // Anywhere, the error callback included: libxml2 may be in the middle of its own work there,
    // so the parser is stopped at the next content callback instead.
    void record(std::exception_ptr failure) noexcept {
        if (!failure_)
            failure_ = failure != nullptr ? failure : std::make_exception_ptr(std::bad_alloc());
    }

    void startElement(void* ctx, const xmlChar* localName, const xmlChar* prefix) {
        guarded(ctx, [&] {
            if (++depth_ > kDeepestNesting)
                throw DocumentProblem("its elements are nested deeper than " +
                                      std::to_string(kDeepestNesting) + " levels");
            if (depth_ == 1)
                builder_.reserveTexts(projectSize_);
            // Only layers (depth 3) and items (depth 4) keep their line.
            const std::uint32_t line = depth_ == 3 || depth_ == 4 ? startTagLine() : 0;
            builder_.startElement(depth_, prefix != nullptr, View(localName), line);
        });
    }

    void endElement(void* ctx) {
        guarded(ctx, [&] { builder_.endElement(depth_--); });
    }

    void text(void* ctx, std::string_view text) {
        guarded(ctx, [&] {
            if (builder_.gatheringText())
                builder_.appendText(text);
        });
    }

    void reference(void* ctx, const xmlChar* name) {
        guarded(ctx, [&] {
            if (!builder_.gatheringText() || builder_.textState() != TextState::Readable)
                return;
            std::string expansion;
            const TextState state =
                EntityReader(expansion, allowance_)
                    .readReference(parser_->myDoc, View(name), depth_ - builder_.gatherDepth() + 1);
            if (state != TextState::Readable)
                builder_.refuseText(state);
            else
                builder_.appendText(expansion);
        });
    }

    // Every entity reference the parser resolves, wherever it stands (element content, attribute
    // values, the values of other entities, parameter entities in the DTD), is looked up here
    // before its replacement text is expanded or parsed, once per expansion. With
    // XML_PARSE_HUGE, libxml2 2.9.14 bounds none of these expansions (its amplification check
    // is switched off with the option), and its own counters (nbentities, sizeentcopy) are kept
    // on some of the paths only. So every lookup charges the reference and its replacement text
    // to the document's allowance: the sum bounds what expansions can add anywhere. Past the
    // allowance the document is refused. The parser is not halted here, since halting frees the
    // input that libxml2 may be reading an attribute from; the reference resolves to an empty
    // entity instead, so that nothing more is expanded, and the parser is stopped at the next
    // content callback.
    xmlEntityPtr resolved(const xmlChar* name, xmlEntityPtr entity) noexcept {
        if (entity == nullptr || failure_)
            return failure_ ? &refused_ : entity;
        const std::size_t cost =
            View(name).size() + 2 + (entity->content != nullptr ? View(entity->content).size() : 0);
        if (cost > allowance_) {
            allowance_ = 0;
            try {
                record(std::make_exception_ptr(DocumentProblem(ExpansionLimitText())));
            } catch (...) {
                record(std::current_exception());
            }
            return &refused_;
        }
        allowance_ -= cost;
        return entity;
    }

    // The line of the start tag just read. The parser stands at its closing ">" or "/>", so
    // the line breaks between the tag's "<" and there are taken off the parser's line; no "<"
    // stands inside a start tag, so the last one before is the tag's own, and the parser keeps
    // a whole start tag in its buffer while reading it. The working copy keeps the project's
    // line breaks, one LF each, so this is the project's own line.
    std::uint32_t startTagLine() const {
        const xmlParserInputPtr input = parser_->input;
        long line = input->line;
        for (const xmlChar* at = input->cur; at > input->base;) {
            --at;
            if (*at == '<')
                break;
            if (*at == '\n')
                --line;
        }
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(line, 1, UINT32_MAX));
    }

    // The parse has failed for good: what follows in the input cannot change its outcome, so
    // the parser need read no further.
    bool gaveUp() const { return failure_ || (parser_->wellFormed == 0 && first_.errorCode != 0); }

    // Keeps the parser's first fatal error (the cause; later ones are consequences), and the
    // last error for a parse that fails without a fatal one.
    void error(const xmlError& error) noexcept {
        if (failure_ || error.level < XML_ERR_ERROR)
            return;
        if (error.code == XML_ERR_NO_MEMORY) {
            record(std::make_exception_ptr(std::bad_alloc()));
            return;
        }
        try {
            ParseError seen{error.code != 0 ? error.code : 1, Reason(error.message), error.line};
            if (error.level == XML_ERR_FATAL && first_.errorCode == 0)
                first_ = seen;
            last_ = std::move(seen);
        } catch (...) {
            record(std::current_exception());
        }
    }

    XmlDocument finish(bool wellFormed) {
        if (failure_)
            std::rethrow_exception(failure_);
        if (!wellFormed) {
            ParseError error = first_.errorCode != 0 ? first_ : last_;
            if (error.errorCode == 0)
                error = ParseError{1, "The document cannot be parsed", 0};
            DocumentBuilder noDocument;
            noDocument.setParseError(std::move(error));
            return noDocument.finish();
        }
        return builder_.finish();
    }

private:
    static std::string Reason(const char* message) {
        std::string reason = message != nullptr ? message : "The document cannot be parsed";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        return reason;
    }

    // What a reference resolves to once the allowance is spent: an internal entity whose
    // replacement text is empty.
    static xmlEntity RefusedEntity(xmlChar* empty) {
        xmlEntity entity{};
        entity.type = XML_ENTITY_DECL;
        entity.name = empty;
        entity.content = empty;
        entity.etype = XML_INTERNAL_GENERAL_ENTITY;
        return entity;
    }

    xmlParserCtxtPtr parser_;
    const std::uint64_t& projectSize_;
    DocumentBuilder builder_;
    int depth_ = 0;
    std::size_t allowance_ = kEntityExpansionAllowance;
    xmlChar refusedText_[1] = {0};
    xmlEntity refused_ = RefusedEntity(refusedText_);
    std::exception_ptr failure_;
    ParseError first_;
    ParseError last_;
};

// The callbacks: the document's own content goes to the session, entity content to libxml2's
// tree builder (which gives each entity its node list once, as in a tree parse).
void OnStartElement(void* ctx, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri,
                    int namespaceCount, const xmlChar** namespaces, int attributeCount,
                    int defaultedCount, const xmlChar** attributes) {
    ParseSession& session = ParseSession::of(ctx);
    if (session.inDocumentContent(ctx))
        session.startElement(ctx, localName, prefix);
    else
        xmlSAX2StartElementNs(ctx, localName, prefix, uri, namespaceCount, namespaces,
                              attributeCount, defaultedCount, attributes);
}

void OnEndElement(void* ctx, const xmlChar* localName, const xmlChar* prefix, const xmlChar* uri) {
    ParseSession& session = ParseSession::of(ctx);
    if (session.inDocumentContent(ctx))
        session.endElement(ctx);
    else
        xmlSAX2EndElementNs(ctx, localName, prefix, uri);
}

void OnCharacters(void* ctx, const xmlChar* text, int length) {
    ParseSession& session = ParseSession::of(ctx);
    if (session.inDocumentContent(ctx))
        session.text(ctx, View(text, length));
    else
        xmlSAX2Characters(ctx, text, length);
}

void OnCdata(void* ctx, const xmlChar* text, int length) {
    ParseSession& session = ParseSession::of(ctx);
    if (session.inDocumentContent(ctx))
        session.text(ctx, View(text, length));
    else
        xmlSAX2CDataBlock(ctx, text, length);
}

void OnReference(void* ctx, const xmlChar* name) {
    ParseSession& session = ParseSession::of(ctx);
    if (session.inDocumentContent(ctx))
        session.reference(ctx, name);
    else
        xmlSAX2Reference(ctx, name);
}

void OnComment(void* ctx, const xmlChar* text) {
    if (!ParseSession::of(ctx).inDocumentContent(ctx))
        xmlSAX2Comment(ctx, text);
}

void OnProcessingInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
    if (!ParseSession::of(ctx).inDocumentContent(ctx))
        xmlSAX2ProcessingInstruction(ctx, target, data);
}

xmlEntityPtr OnGetEntity(void* ctx, const xmlChar* name) {
    return ParseSession::of(ctx).resolved(name, xmlSAX2GetEntity(ctx, name));
}

xmlEntityPtr OnGetParameterEntity(void* ctx, const xmlChar* name) {
    return ParseSession::of(ctx).resolved(name, xmlSAX2GetParameterEntity(ctx, name));
}

void OnError(void* session, xmlErrorPtr error) {
    if (error != nullptr)
        static_cast<ParseSession*>(session)->error(*error);
}

xmlSAXHandler Callbacks() {
    xmlSAXHandler handler{};
    xmlSAXVersion(&handler, 2);
    handler.startElementNs = OnStartElement;
    handler.endElementNs = OnEndElement;
    handler.characters = OnCharacters;
    // The same function for both, so that the parser never asks which white space is ignorable.
    handler.ignorableWhitespace = OnCharacters;
    handler.cdataBlock = OnCdata;
    handler.reference = OnReference;
    handler.comment = OnComment;
    handler.processingInstruction = OnProcessingInstruction;
    handler.getEntity = OnGetEntity;
    handler.getParameterEntity = OnGetParameterEntity;
    return handler;
}

// What the parser reads from: the bytes the copy hands over, until the parse has failed for
// good. Then the input ends early, so that the copy need not go on either.
struct ParserInput {
    DocumentParser* parser;
    const ParseSession* session;
};

int ReadInput(void* context, char* buffer, int length) {
    const ParserInput& input = *static_cast<ParserInput*>(context);
    if (input.session != nullptr && input.session->gaveUp()) {
        input.parser->refuseInput();
        return 0;
    }
    return input.parser->read(buffer, length);
}

struct ParserContextDeleter {
    void operator()(xmlParserCtxtPtr ctxt) const {
        if (ctxt->myDoc != nullptr)
            xmlFreeDoc(ctxt->myDoc);
        xmlFreeParserCtxt(ctxt);
    }
};

// Sends the parser's errors to the session instead of letting libxml2 print them; the setting
// belongs to the parsing thread alone.
class ErrorRoute {
public:
    explicit ErrorRoute(ParseSession& session) { xmlSetStructuredErrorFunc(&session, OnError); }
    ~ErrorRoute() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
    ErrorRoute(const ErrorRoute&) = delete;
    ErrorRoute& operator=(const ErrorRoute&) = delete;
};

// A libxml2 built without thread support (the Windows build's) keeps its error handler and the
// last error once for the whole process, so there the parses of checks running at once take
// turns, from the parser's making to its freeing. Built with it, every thread has its own, and
// parses run side by side.
std::unique_lock<std::mutex> ParseTurn() {
#ifdef LIBXML_THREAD_ENABLED
    return {};
#else
    static std::mutex turn;
    return std::unique_lock(turn);
#endif
}

// A piece of input past this waits until the parser has taken what is pending.
constexpr std::size_t kMostPending = std::size_t{256} << 10;

} // namespace

// ---------------------------------------------------------------------------------------------
// Reading the compact document

XmlNode XmlNode::selectSingleNode(std::string_view name) const {
    for (const XmlNode child : childNodes()) {
        if (child.nodeName() == name)
            return child;
    }
    return XmlNode();
}

std::uint32_t XmlNode::line() const {
    const XmlDocument::Node& node = document_->nodes_[index_];
    return KeepsLine(node.kind) ? node.line : 0;
}

NodeName XmlNode::nodeName() const {
    return NodeName(ElementName(document_->nodes_[index_].kind));
}

std::string XmlNode::text() const {
    const XmlDocument::Node& node = document_->nodes_[index_];
    if (!ReadsText(node.kind))
        return {}; // a layer's or an item's text is never kept
    switch (node.textState) {
    case TextState::Readable:
        return document_->texts_.substr(node.textOffset, node.textLength);
    case TextState::TooLong:
        throw DocumentProblem("it holds a text longer than " + std::to_string(kLongestText) +
                              " bytes");
    case TextState::ExpansionsExhausted:
        throw DocumentProblem(ExpansionLimitText());
    case TextState::NestedTooDeeply:
        break;
    }
    throw DocumentProblem("its elements or entities are nested too deeply to read a text");
}

XmlNode::ChildRange XmlNode::childNodes() const {
    if (document_ == nullptr || !document_->nodes_[index_].hasChildren)
        return ChildRange(document_, XmlDocument::kNone);
    return ChildRange(document_, index_ + 1);
}

XmlNode::ChildRange::iterator XmlNode::ChildRange::end() const {
    return iterator(document_, XmlDocument::kNone);
}

XmlNode::ChildRange::iterator& XmlNode::ChildRange::iterator::operator++() {
    index_ = document_->nodes_[index_].nextSibling;
    return *this;
}

XmlDocument::Node& XmlDocument::NodeStore::append(ElementKind kind) {
    if (size_ == kNone)
        throw std::bad_alloc();
    if ((size_ >> kBlockBits) == blocks_.size())
        blocks_.push_back(std::make_unique_for_overwrite<Node[]>(std::size_t{1} << kBlockBits));
    Node& node = (*this)[size_++];
    node = Node{0, 0, kNone, kind, TextState::Readable, false};
    return node;
}

XmlNode XmlDocument::selectSingleNode(std::string_view name) const {
    if (nodes_.size() == 0 || ElementName(nodes_[0].kind) != name)
        return XmlNode();
    return XmlNode(this, 0);
}

// ---------------------------------------------------------------------------------------------
// Building it

bool DocumentBuilder::keeps(int depth, ElementKind kind) const {
    if (depth != keptDepth_ + 1)
        return false;
    switch (depth) {
    case 1:
        return kind == ElementKind::Document;
    case 2:
        return kind == ElementKind::Multilayer && !multilayerSeen_;
    case 3:
        return kind == ElementKind::Layer;
    case 4:
        return kind == ElementKind::Name || kind == ElementKind::Scrap || IsItemKind(kind);
    case 5:
        return IsItemKind(document_.nodes_[open_[4]].kind) &&
               (kind == ElementKind::StartTime || kind == ElementKind::EndTime);
    default:
        return false;
    }
}

void DocumentBuilder::startElement(int depth, bool prefixed, std::string_view localName,
                                   std::uint32_t line) {
    if (prefixed)
        return;
    if (const std::optional<ElementKind> kind = ElementKindOf(localName);
        kind && keeps(depth, *kind))
        keep(depth, *kind, line);
}

void DocumentBuilder::keep(int depth, ElementKind kind, std::uint32_t line) {
    auto& nodes = document_.nodes_;
    const std::uint32_t index = nodes.size();
    XmlDocument::Node& node = nodes.append(kind);
    if (depth > 1) {
        XmlDocument::Node& parent = nodes[open_[depth - 1]];
        if (parent.hasChildren)
            nodes[lastChild_[depth - 1]].nextSibling = index;
        parent.hasChildren = true;
        lastChild_[depth - 1] = index;
    }
    open_[depth] = index;
    keptDepth_ = depth;
    multilayerSeen_ = multilayerSeen_ || kind == ElementKind::Multilayer;
    if (IsItemKind(kind))
        ++document_.itemCount_;
    if (KeepsLine(kind))
        node.line = line;
    if (ReadsText(kind)) {
        if (document_.texts_.size() >= UINT32_MAX - kLongestText)
            throw std::bad_alloc();
        gatherDepth_ = depth;
        node.textOffset = static_cast<std::uint32_t>(document_.texts_.size());
    }
}

void DocumentBuilder::endElement(int depth) {
    if (depth != keptDepth_)
        return;
    if (depth == gatherDepth_) {
        XmlDocument::Node& node = document_.nodes_[open_[depth]];
        std::string& texts = document_.texts_;
        while (texts.size() > node.textOffset && IsXmlSpace(texts.back()))
            texts.pop_back();
        std::size_t begin = node.textOffset;
        while (begin < texts.size() && IsXmlSpace(texts[begin]))
            ++begin;
        texts.erase(node.textOffset, begin - node.textOffset);
        node.textLength = static_cast<std::uint32_t>(texts.size() - node.textOffset);
        gatherDepth_ = 0;
    }
    --keptDepth_;
}

void DocumentBuilder::appendText(std::string_view text) {
    XmlDocument::Node& node = document_.nodes_[open_[gatherDepth_]];
    if (node.textState != TextState::Readable)
        return;
    std::string& texts = document_.texts_;
    if (text.size() > kLongestText - (texts.size() - node.textOffset)) {
        refuseText(TextState::TooLong);
        return;
    }
    texts.append(text);
}

void DocumentBuilder::refuseText(TextState why) {
    XmlDocument::Node& node = document_.nodes_[open_[gatherDepth_]];
    node.textState = why;
    document_.texts_.resize(node.textOffset);
}

TextState DocumentBuilder::textState() const {
    return document_.nodes_[open_[gatherDepth_]].textState;
}

void DocumentBuilder::reserveTexts(std::uint64_t projectSize) {
    // Only a large project's texts are worth it: a small one's are moved a few times at little
    // cost. The kept texts are characters of the project, at most two bytes each once decoded;
    // room reserved but never written costs no resident memory. Entity expansions past the
    // bound make the texts grow as they come.
    constexpr std::uint64_t kLargeProject = std::uint64_t{4} << 20;
    if (projectSize < kLargeProject)
        return;
    const std::uint64_t bound = std::min<std::uint64_t>(2 * projectSize, UINT32_MAX);
    try {
        document_.texts_.reserve(static_cast<std::size_t>(bound));
    } catch (const std::bad_alloc&) {
        // The texts grow as they come instead.
    }
}

XmlDocument DocumentBuilder::finish() {
    return std::move(document_);
}

// ---------------------------------------------------------------------------------------------
// Parsing as the bytes arrive

DocumentParser::DocumentParser() {
    PrepareParser();
    try {
        thread_ = std::thread([this] {
            try {
                parse();
            } catch (...) {
                failure_ = std::current_exception();
            }
            const std::lock_guard lock(mutex_);
            parseEnded_ = true;
            changed_.notify_all();
        });
    } catch (const std::system_error&) {
        // The system refuses another thread when the process or the user has as many as a limit
        // allows, or when memory is short. Nothing has been made yet; the run stops with a
        // message instead of ending the program.
        throw DocumentProblem("the system cannot start the thread that reads it (too many "
                              "processes or threads are running, or memory is short)");
    }
}

DocumentParser::~DocumentParser() {
    if (!thread_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        inputAbandoned_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void DocumentParser::projectOpened(std::uint64_t size) {
    const std::lock_guard lock(mutex_);
    projectSize_ = size;
}

void DocumentParser::copied(std::string_view bytes) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock,
                  [&] { return pending_.size() < kMostPending || parseEnded_ || inputRefused_; });
    if (parseEnded_ || inputRefused_)
        return;
    pending_.append(bytes);
    changed_.notify_all();
}

bool DocumentParser::wantsMore() const {
    const std::lock_guard lock(mutex_);
    return !parseEnded_ && !inputRefused_;
}

void DocumentParser::refuseInput() {
    const std::lock_guard lock(mutex_);
    inputRefused_ = true;
    pending_.clear();
    changed_.notify_all();
}

int DocumentParser::read(char* buffer, int length) {
    if (readAt_ == reading_.size()) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !pending_.empty() || inputEnded_ || inputAbandoned_; });
        if (inputAbandoned_)
            return -1;
        reading_.clear();
        reading_.swap(pending_);
        readAt_ = 0;
        changed_.notify_all();
        if (reading_.empty())
            return 0;
    }
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(length, 0)), reading_.size() - readAt_);
    std::copy_n(reading_.data() + readAt_, count, buffer);
    readAt_ += count;
    return static_cast<int>(count);
}

XmlDocument DocumentParser::finish() {
    {
        const std::lock_guard lock(mutex_);
        inputEnded_ = true;
        changed_.notify_all();
    }
    thread_.join();
    if (failure_)
        std::rethrow_exception(failure_);
    return std::move(document_);
}

void DocumentParser::parse() {
    const std::unique_lock turn = ParseTurn();
    xmlSAXHandler callbacks = Callbacks();
    ParserInput input{this, nullptr};
    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> parser(xmlCreateIOParserCtxt(
        &callbacks, nullptr, ReadInput, nullptr, &input, XML_CHAR_ENCODING_NONE));
    if (!parser)
        throw std::bad_alloc();
    ParseSession session(parser.get(), projectSize_);
    parser->_private = &session;
    input.session = &session;
    xmlCtxtUseOptions(parser.get(), kParseOptions);
    {
        const ErrorRoute route(session);
        xmlParseDocument(parser.get());
    }
    document_ = session.finish(parser->wellFormed != 0);
}

} // namespace kestrova
