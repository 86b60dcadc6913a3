#include "kinds/ItemFiles.h"

#include <string>

#include "formats/Failure.h"
#include "formats/ObjectFile.h"
#include "kinds/KindTable.h"

namespace orvanta {

FileItems ReadFileItems(TSMLBase& client, std::string_view text) {
    const DataKind& kind = KindOf(client);
    FileItems read;
    // Each payload is dropped as soon as its item holds its lines.
    read.OtherKinds =
        ReadObjectFile(text, kind.Component, [&](std::string& payload, std::size_t line) {
            read.Items.push_back(client.CreateItem());
            try {
                read.Items.back()->Parse(payload);
            } catch (const Failure& failure) {
                throw Failure("The " + kind.One + " that begins on line " + std::to_string(line) +
                              ": " + failure.what());
            }
        });
    return read;
}

}  // namespace orvanta
