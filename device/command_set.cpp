#include "device/command_set.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "device/command_report.h"

namespace gmd {

namespace {

int CheckReplyStatus(const CommandReport& reply) {
    switch (reply[report_byte::kStatus]) {
        case kStatusErrorFF:
            return kResultStatusFF;
        case kStatusErrorFE:
            return kResultStatusFE;
        default:
            return kResultSuccess;
    }
}

// Commands 1, 2, 3, 5 and 6: one report each way. On success the reply is left in `reply`.
int SingleReport(CDeviceChannel& channel, Command command, uint8_t length, uint16_t address,
                 std::span<const uint8_t> payload, CommandReport& reply) {
    CommandReport request{};
    request[report_byte::kReportId] = kCommandReportId;
    request[report_byte::kCommand] = static_cast<uint8_t>(command);
    request[report_byte::kLength] = length;
    SetReportAddress(request.data(), address);
    std::copy(payload.begin(), payload.end(), request.begin() + kReportPayloadOffset);
    SealReport(request.data());
    if (command == Command::CloseSession) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kCloseSessionPauseMs));
    }
    size_t replyBytes = 0;
    const int result =
        channel.Transact(request.data(), request.size(), reply.data(), reply.size(), replyBytes);
    if (result != kResultSuccess) {
        return result;
    }
    return CheckReplyStatus(reply);
}

// Chunked commands. The report is cleared once per command, so the payload of a short last
// chunk still carries the previous chunk's later bytes; devices see (and checksum) them.
int Chunked(CDeviceChannel& channel, Command command, uint16_t baseAddress, size_t total,
            const uint8_t* source, uint8_t* destination) {
    CommandReport request{};
    request[report_byte::kReportId] = kCommandReportId;
    request[report_byte::kCommand] = static_cast<uint8_t>(command);
    CommandReport reply{};
    for (size_t offset = 0; offset < total; offset += kReportPayloadSize) {
        const size_t chunk =
            offset + kReportPayloadSize < total ? kReportPayloadSize : total - offset;
        request[report_byte::kLength] = static_cast<uint8_t>(chunk);
        SetReportAddress(request.data(), static_cast<uint16_t>(baseAddress + offset));
        if (source != nullptr) {
            std::memcpy(request.data() + kReportPayloadOffset, source + offset, chunk);
        }
        SealReport(request.data());
        size_t replyBytes = 0;
        const int result = channel.Transact(request.data(), request.size(), reply.data(),
                                            reply.size(), replyBytes);
        if (result != kResultSuccess) {
            return result;
        }
        const int status = CheckReplyStatus(reply);
        if (status != kResultSuccess) {
            return status;
        }
        if (destination != nullptr) {
            std::memcpy(destination + offset, reply.data() + kReportPayloadOffset, chunk);
        }
    }
    return kResultSuccess;
}

bool ValidBank(int bank) {
    return bank >= 0 && bank < kBankCount;
}

}  // namespace

int OpenSession(CDeviceChannel& channel) {
    CommandReport reply{};
    return SingleReport(channel, Command::OpenSession, 0, 0, {}, reply);
}

int CloseSession(CDeviceChannel& channel) {
    CommandReport reply{};
    return SingleReport(channel, Command::CloseSession, 0, 0, {}, reply);
}

int ReadInfo(CDeviceChannel& channel, std::span<uint8_t> info) {
    if (info.size() < kInfoBlockSize) {
        return kResultNoReply;
    }
    CommandReport reply{};
    const int result = SingleReport(channel, Command::ReadInfo, kInfoBlockSize, 0, {}, reply);
    if (result == kResultSuccess) {
        std::memcpy(info.data(), reply.data() + kReportPayloadOffset, kInfoBlockSize);
    }
    return result;
}

int ReadMemory(CDeviceChannel& channel, std::span<uint8_t> data, uint8_t count, uint16_t address) {
    if (count > kReportPayloadSize || data.size() < count) {
        return kResultNoReply;
    }
    CommandReport reply{};
    const int result = SingleReport(channel, Command::ReadMemory, count, address, {}, reply);
    if (result == kResultSuccess) {
        std::memcpy(data.data(), reply.data() + kReportPayloadOffset, count);
    }
    return result;
}

int WriteMemory(CDeviceChannel& channel, std::span<const uint8_t> data, uint8_t count,
                uint16_t address) {
    if (count > kReportPayloadSize || data.size() < count) {
        return kResultNoReply;
    }
    CommandReport reply{};
    return SingleReport(channel, Command::WriteMemory, count, address, data.first(count), reply);
}

int ReadImage(CDeviceChannel& channel, std::span<uint8_t> image) {
    const size_t total = channel.ImageSize();
    if (image.size() < total) {
        return kResultNoReply;
    }
    return Chunked(channel, Command::ReadImage, 0, total, nullptr, image.data());
}

int ReadBankImage(CDeviceChannel& channel, std::span<uint8_t> image, int bank) {
    if (!ValidBank(bank)) {
        return kResultBadBank;
    }
    const size_t total = channel.ImageSize();
    if (image.size() < total) {
        return kResultNoReply;
    }
    return Chunked(channel, Command::ReadBankImage, static_cast<uint16_t>(bank * kBankStride),
                   total, nullptr, image.data());
}

int WriteBankImage(CDeviceChannel& channel, std::span<const uint8_t> image, int bank,
                   size_t length) {
    if (!ValidBank(bank)) {
        return kResultBadBank;
    }
    const size_t total = length == 0 ? channel.ImageSize() : length;
    if (image.size() < total) {
        return kResultNoReply;
    }
    return Chunked(channel, Command::WriteBankImage, static_cast<uint16_t>(bank * kBankStride),
                   total, image.data(), nullptr);
}

int FactoryReset(CDeviceChannel& channel) {
    // Sent without checksum and without retry: the device restarts its settings as it answers.
    CommandReport report{};
    report[report_byte::kReportId] = kCommandReportId;
    report[report_byte::kCommand] = static_cast<uint8_t>(Command::FactoryReset);
    return channel.TransactOnce(report.data(), report.size());
}

namespace {
int WriteStream(CDeviceChannel& channel, Command command, std::span<const uint8_t> data) {
    // Stream offsets travel in a 16-bit address.
    if (data.size() > 0x10000) {
        return kResultNoReply;
    }
    return Chunked(channel, command, 0, data.size(), data.data(), nullptr);
}
}  // namespace

int WriteLightFrame(CDeviceChannel& channel, std::span<const uint8_t> data) {
    return WriteStream(channel, Command::WriteLightFrame, data);
}

int WriteMacroData(CDeviceChannel& channel, std::span<const uint8_t> data) {
    return WriteStream(channel, Command::WriteMacroData, data);
}

int WriteCursorData(CDeviceChannel& channel, std::span<const uint8_t> data) {
    return WriteStream(channel, Command::WriteCursorData, data);
}

}  // namespace gmd
