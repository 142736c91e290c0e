#pragma once
// The timeline picture read back with the XML parser, as the tests of kpjcheck's --svg see it.

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::testing_support {

// An SVG picture read back with the XML parser: is it well-formed, which class="gap" elements
// does it hold (with their titles), and which texts does it show.
struct Picture {
    bool wellFormed = false;
    std::vector<std::string> gapTitles;
    std::vector<std::string> texts;
    std::map<std::string, std::string> shownByTitle; // texts that carry a title
};

inline std::string SvgAttribute(xmlNode* node, const char* name) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> value(
        xmlGetProp(node, reinterpret_cast<const xmlChar*>(name)), xmlFree);
    return value ? reinterpret_cast<const char*>(value.get()) : "";
}

inline std::string SvgContent(xmlNode* node) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlNodeGetContent(node), xmlFree);
    return text ? reinterpret_cast<const char*>(text.get()) : "";
}

inline std::string SvgName(xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

inline void SvgCollect(xmlNode* node, Picture& picture) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        if (SvgAttribute(node, "class") == "gap") {
            std::string title;
            for (xmlNode* child = node->children; child != nullptr; child = child->next)
                if (child->type == XML_ELEMENT_NODE && SvgName(child) == "title")
                    title = SvgContent(child);
            picture.gapTitles.push_back(title);
        }
        if (SvgName(node) == "text") {
            std::string shown;
            std::optional<std::string> title;
            for (xmlNode* child = node->children; child != nullptr; child = child->next) {
                if (child->type == XML_TEXT_NODE)
                    shown += SvgContent(child);
                else if (child->type == XML_ELEMENT_NODE && SvgName(child) == "title")
                    title = SvgContent(child);
            }
            picture.texts.push_back(shown);
            if (title)
                picture.shownByTitle[*title] = shown;
        }
        SvgCollect(node->children, picture);
    }
}

inline Picture ReadPicture(const std::string& svg) {
    Picture picture;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> document(
        xmlReadMemory(svg.data(), static_cast<int>(svg.size()), "picture.svg", nullptr,
                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE),
        xmlFreeDoc);
    if (!document)
        return picture;
    xmlNode* root = xmlDocGetRootElement(document.get());
    picture.wellFormed = root != nullptr && SvgName(root) == "svg";
    SvgCollect(root, picture);
    return picture;
}

inline bool ShowsTextStartingWith(const Picture& picture, const std::string& start) {
    for (const std::string& text : picture.texts)
        if (text.starts_with(start))
            return true;
    return false;
}

} // namespace kestrova::testing_support
