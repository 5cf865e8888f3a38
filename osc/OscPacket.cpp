#include "OscPacket.h"

#include <lo/lo_lowlevel.h>

#include <cstring>
#include <memory>

namespace osc {
namespace {

constexpr int kMaxBundleDepth = 8;

std::uint32_t BigEndian32(const char* data) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
}

bool DecodeMessage(const char* data, std::size_t size, std::vector<Message>& messages) {
    // liblo reads the buffer only, but takes it as writable.
    std::string copy(data, size);
    int result = 0;
    const std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> decoded(
        lo_message_deserialise(copy.data(), copy.size(), &result), lo_message_free);
    if (!decoded || result != 0) return false;
    Message message;
    message.address = lo_get_path(copy.data(), static_cast<ssize_t>(copy.size()));
    const char* types = lo_message_get_types(decoded.get());
    lo_arg** values = lo_message_get_argv(decoded.get());
    for (int index = 0; types && types[index] != '\0'; ++index) {
        Argument argument;
        argument.type = types[index];
        // liblo's values sit at 4-byte steps, short of a union's alignment: copied out.
        const void* value = values[index];
        switch (argument.type) {
            case LO_INT32: {
                std::int32_t number = 0;
                std::memcpy(&number, value, sizeof number);
                argument.integer = number;
                break;
            }
            case LO_INT64:
                std::memcpy(&argument.integer, value, sizeof argument.integer);
                break;
            case LO_FLOAT: {
                float number = 0;
                std::memcpy(&number, value, sizeof number);
                argument.real = number;
                break;
            }
            case LO_DOUBLE:
                std::memcpy(&argument.real, value, sizeof argument.real);
                break;
            case LO_STRING:
            case LO_SYMBOL:
                argument.type = 's';
                argument.text = static_cast<const char*>(value);
                break;
            default:
                break;
        }
        message.arguments.push_back(std::move(argument));
    }
    messages.push_back(std::move(message));
    return true;
}

bool DecodeAt(const char* data, std::size_t size, int depth, std::vector<Message>& messages) {
    constexpr char kBundle[] = "#bundle";  // with its NUL, 8 bytes
    if (size < sizeof kBundle || std::memcmp(data, kBundle, sizeof kBundle) != 0)
        return DecodeMessage(data, size, messages);
    if (depth >= kMaxBundleDepth) return false;
    // "#bundle", the 8-byte time tag, then elements each behind its 4-byte size.
    std::size_t at = sizeof kBundle + 8;
    if (size < at) return false;
    while (at < size) {
        if (size - at < 4) return false;
        const std::uint32_t length = BigEndian32(data + at);
        at += 4;
        if (length == 0 || length % 4 != 0 || length > size - at) return false;
        if (!DecodeAt(data + at, length, depth + 1, messages)) return false;
        at += length;
    }
    return true;
}

}  // namespace

bool DecodePacket(const char* data, std::size_t size, std::vector<Message>& messages) {
    if (size == 0 || size > kMaxPacketBytes || size % 4 != 0) return false;
    std::vector<Message> decoded;
    if (!DecodeAt(data, size, 0, decoded)) return false;
    for (Message& message : decoded) messages.push_back(std::move(message));
    return true;
}

std::string EncodeMessage(const Message& message) {
    const std::unique_ptr<std::remove_pointer_t<lo_message>, void (*)(lo_message)> encoded(
        lo_message_new(), lo_message_free);
    for (const Argument& argument : message.arguments) {
        if (argument.type == 'i')
            lo_message_add_int32(encoded.get(), static_cast<std::int32_t>(argument.integer));
        else if (argument.type == 'f')
            lo_message_add_float(encoded.get(), static_cast<float>(argument.real));
        else if (argument.type == 's')
            lo_message_add_string(encoded.get(), argument.text.c_str());
    }
    std::string bytes(lo_message_length(encoded.get(), message.address.c_str()), '\0');
    std::size_t size = bytes.size();
    lo_message_serialise(encoded.get(), message.address.c_str(), bytes.data(), &size);
    bytes.resize(size);
    return bytes;
}

Argument Int(std::int32_t value) {
    Argument argument;
    argument.integer = value;
    return argument;
}

Argument Text(std::string value) {
    Argument argument;
    argument.type = 's';
    argument.text = std::move(value);
    return argument;
}

}  // namespace osc
