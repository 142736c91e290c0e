#include "check/parse_session.h"

#include "check/check_failure.h"
#include "check/document_builder.h"
#include "check/entity_text.h"
#include "check/libxml_text.h"

#include <libxml/SAX2.h>
#include <libxml/entities.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlversion.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>

namespace kestrova {
namespace {

xmlParserInputPtr RefuseExternalResource(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

// XML_PARSE_HUGE lifts the parser's own limits on text size and nesting; the guards of this
// file take their place with messages that name the cause.
constexpr int kParseOptions =
    XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_BIG_LINES | XML_PARSE_HUGE;

// One parse: the builder, the guards' state and what went wrong. Every libxml2 callback reaches
// it through the parser context, and none lets an exception out: a failure is recorded, the
// parser stopped, and the failure rethrown once the parser has returned.
class ParseSession {
public:
    // The source's project size is read once the document element starts, when the parser has
    // taken the project's first bytes.
    ParseSession(xmlParserCtxtPtr parser, const ParserSource& source)
        : parser_(parser), source_(source) {}
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
                builder_.reserveTexts(source_.projectSize());
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
                ReadEntityText(parser_->myDoc, View(name), depth_ - builder_.gatherDepth() + 1,
                               expansion, allowance_);
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
        if (!ChargeAllowance(allowance_, cost)) {
            try {
                record(std::make_exception_ptr(
                    DocumentProblem(TextRefusal(TextState::ExpansionsExhausted))));
            } catch (...) {
                record(std::current_exception());
            }
            return &refused_;
        }
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
    const ParserSource& source_;
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

// Character data and CDATA alike; an entity's goes to the tree builder's own callback.
template <void (*TreeBuilder)(void*, const xmlChar*, int)>
void OnText(void* ctx, const xmlChar* text, int length) {
    ParseSession& session = ParseSession::of(ctx);
    if (session.inDocumentContent(ctx))
        session.text(ctx, View(text, length));
    else
        TreeBuilder(ctx, text, length);
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
    handler.characters = OnText<xmlSAX2Characters>;
    // The same function for both, so that the parser never asks which white space is ignorable.
    handler.ignorableWhitespace = OnText<xmlSAX2Characters>;
    handler.cdataBlock = OnText<xmlSAX2CDataBlock>;
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
    ParserSource* source;
    const ParseSession* session;
};

int ReadInput(void* context, char* buffer, int length) {
    const ParserInput& input = *static_cast<ParserInput*>(context);
    if (input.session != nullptr && input.session->gaveUp()) {
        input.source->refuseInput();
        return 0;
    }
    return input.source->read(buffer, length);
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

// Why parses take turns where libxml2 lacks thread support: a libxml2 built without it (the
// Windows build's) keeps the structured error handler that ErrorRoute sets, and the last error,
// once for the whole process instead of once per thread. Two parses running side by side (the
// command-line tool checks several projects at once) would then send one parse's errors to the
// other's session, which may already have ended, and each would take the other's verdict. So
// there a parse holds the turn from the parser's making to its freeing. Built with thread
// support, every thread has its own handler and last error, and parses run side by side.
std::unique_lock<std::mutex> ParseTurn() {
#ifdef LIBXML_THREAD_ENABLED
    return {};
#else
    static std::mutex turn;
    return std::unique_lock(turn);
#endif
}

} // namespace

void PrepareParser() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalResource);
    });
}

XmlDocument ParseDocument(ParserSource& source) {
    PrepareParser();
    const std::unique_lock turn = ParseTurn();
    xmlSAXHandler callbacks = Callbacks();
    ParserInput input{&source, nullptr};
    std::unique_ptr<xmlParserCtxt, ParserContextDeleter> parser(xmlCreateIOParserCtxt(
        &callbacks, nullptr, ReadInput, nullptr, &input, XML_CHAR_ENCODING_NONE));
    if (!parser)
        throw std::bad_alloc();
    ParseSession session(parser.get(), source);
    parser->_private = &session;
    input.session = &session;
    xmlCtxtUseOptions(parser.get(), kParseOptions);
    {
        const ErrorRoute route(session);
        xmlParseDocument(parser.get());
    }
    return session.finish(parser->wellFormed != 0);
}

} // namespace kestrova
