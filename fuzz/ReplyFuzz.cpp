// The reply parser and the element readers over a server's reply.
#include <cstddef>
#include <cstdint>
#include <string>

#include <pugixml.hpp>

#include "engine/Errors.h"
#include "engine/SyncMLMessage.h"
#include "fuzz/FuzzSupport.h"

using namespace orvanta;

namespace {

struct Reader : pugi::xml_tree_walker {
    bool for_each(pugi::xml_node& node) override {
        if (node.type() != pugi::node_element) return true;
        (void)HasLocalName(node, "Status");
        (void)Child(node, "Data");
        (void)Text(node);
        try {
            (void)ReadInteger(node);
        } catch (const ProtocolError&) {
            // A text that is no number is reported as a malformed reply.
        }
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string body(fuzz::AsText(data, size));
    pugi::xml_document doc;
    try {
        ParseReply(doc, body);
    } catch (const ProtocolError&) {
        return 0;
    }
    (void)Path(doc.document_element(), "SyncHdr/Meta/MaxMsgSize");
    (void)Path(doc.document_element(), "SyncBody/Sync/Add/Item/Data");
    Reader reader;
    doc.traverse(reader);
    return 0;
}
