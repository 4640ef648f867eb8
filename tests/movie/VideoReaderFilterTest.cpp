#include "support/TestMovies.h"

#include "movie/VideoReaderFilter.h"

#include <cstring>
#include <future>
#include <vector>

namespace vx::test {
namespace {

using namespace std::chrono_literals;

MediaType Rgb(SubType sub, int bits, MajorType major = MajorType::Video) {
    VideoInfoHeader vih;
    vih.bmiHeader.biSize = 40;
    vih.bmiHeader.biWidth = 4;
    vih.bmiHeader.biHeight = 2;
    vih.bmiHeader.biBitCount = uint16_t(bits);
    MediaType t{major, sub, FormatType::VideoInfo, std::vector<uint8_t>(sizeof vih)};
    std::memcpy(t.format.data(), &vih, sizeof vih);
    return t;
}

class FilterTest : public MovieTest {
protected:
    CVideoReaderFilter filter;
    uint8_t buffer[8] = {};
    CEvent ready{CEvent::Kind::Auto};

    void SetUp() override {
        ASSERT_EQ(filter.SetBuffer(0, sizeof buffer, buffer), S_OK);
        ASSERT_EQ(filter.SetNotifyEvent(&ready), S_OK);
    }
    // Runs DoRenderSample on a streaming thread of its own.
    std::future<HRESULT> Deliver(const std::vector<uint8_t>& bytes) {
        return std::async(std::launch::async, [this, &bytes] {
            const MediaSample s{bytes.data(), int32_t(bytes.size())};
            return filter.DoRenderSample(&s);
        });
    }
};

TEST_F(FilterTest, AcceptsOnly24BitRgbVideoInfo) {
    MediaType t = Rgb(SubType::RGB24, 24);
    EXPECT_EQ(filter.CheckMediaType(&t), S_OK);
    t = Rgb(SubType::RGB32, 32);
    EXPECT_EQ(filter.CheckMediaType(&t), S_FALSE);
    t = Rgb(SubType::YUY2, 16);
    EXPECT_EQ(filter.CheckMediaType(&t), S_FALSE);
    t = Rgb(SubType::RGB24, 24, MajorType::Audio);
    EXPECT_EQ(filter.CheckMediaType(&t), S_FALSE);
    t = Rgb(SubType::RGB24, 32); // the subtype says RGB24, the header does not
    EXPECT_EQ(filter.CheckMediaType(&t), S_FALSE);
    t.formattype = FormatType::None;
    t.format.clear();
    EXPECT_EQ(filter.CheckMediaType(&t), S_FALSE);
    EXPECT_EQ(filter.CheckMediaType(nullptr), E_POINTER);

    MediaType proposal;
    EXPECT_EQ(filter.ProposeMediaType(0, &proposal), S_OK);
    EXPECT_EQ(proposal.majortype, MajorType::Video);
    EXPECT_EQ(proposal.subtype, SubType::RGB24);
    EXPECT_TRUE(proposal.format.empty());
    EXPECT_EQ(filter.ProposeMediaType(1, &proposal), VFW_S_NO_MORE_ITEMS);

    const MediaType connected = Rgb(SubType::RGB24, 24);
    EXPECT_EQ(filter.SetMediaType(&connected), S_OK);
    MediaType copy;
    EXPECT_EQ(filter.GetMediaType(&copy), S_OK);
    EXPECT_EQ(copy.format, connected.format);
    EXPECT_EQ(filter.GetMediaType(nullptr), E_POINTER);
}

TEST_F(FilterTest, SettersAndLengthsAnswerAsTheReaderExpects) {
    EXPECT_EQ(filter.SetBuffer(0, 0, buffer), E_INVALIDARG);
    EXPECT_EQ(filter.SetBuffer(0, 8, nullptr), E_INVALIDARG);
    int32_t size = -1;
    EXPECT_EQ(filter.GetBufferSize(&size), S_OK);
    EXPECT_EQ(size, 0); // no allocator yet
    filter.SetAllocator(4096);
    EXPECT_EQ(filter.GetBufferSize(&size), S_OK);
    EXPECT_EQ(size, 4096);
    EXPECT_EQ(filter.GetBufferSize(nullptr), E_INVALIDARG);
    EXPECT_EQ(filter.GetDataLength(false, nullptr), E_POINTER);
    EXPECT_EQ(filter.DoRenderSample(nullptr), E_POINTER);
}

TEST_F(FilterTest, OneRequestCopiesOneSampleCutToTheBuffer) {
    filter.SetStreaming(true);
    const std::vector<uint8_t> big = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    auto first = Deliver(big);
    // Without a request the streaming thread holds the sample.
    EXPECT_EQ(first.wait_for(30ms), std::future_status::timeout);
    EXPECT_EQ(filter.RequestFrame(), S_OK);
    EXPECT_EQ(CEvent::WaitForAny({&ready}, 10s), 0);
    EXPECT_EQ(first.get(), S_OK);
    EXPECT_EQ(std::memcmp(buffer, big.data(), 8), 0);
    int32_t length = -1;
    filter.GetDataLength(false, &length);
    EXPECT_EQ(length, 8);
    filter.GetDataLength(true, &length);
    EXPECT_EQ(length, 8);
    filter.GetDataLength(true, &length);
    EXPECT_EQ(length, 0);

    // A shorter sample leaves the rest of the buffer alone; the request was used up.
    const std::vector<uint8_t> small = {42, 43};
    auto second = Deliver(small);
    EXPECT_EQ(second.wait_for(30ms), std::future_status::timeout);
    filter.RequestFrame();
    EXPECT_EQ(second.get(), S_OK);
    EXPECT_EQ(CEvent::WaitForAny({&ready}, 10s), 0);
    filter.GetDataLength(true, &length);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(buffer[0], 42);
    EXPECT_EQ(buffer[2], 3);
}

TEST_F(FilterTest, SkipWinsOverAPendingRequestAndGrabAllCopiesEverySample) {
    filter.SetStreaming(true);
    const std::vector<uint8_t> bytes = {9, 9, 9, 9};
    filter.SetSkip(true);
    filter.RequestFrame();
    EXPECT_EQ(Deliver(bytes).get(), S_OK);
    int32_t length = -1;
    filter.GetDataLength(false, &length);
    EXPECT_EQ(length, 0);
    EXPECT_FALSE(ready.IsSet());
    // The request survived the skip and answers the next sample.
    filter.SetSkip(false);
    EXPECT_EQ(Deliver(bytes).get(), S_OK);
    filter.GetDataLength(true, &length);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(CEvent::WaitForAny({&ready}, 10s), 0);

    filter.SetGrabAll(true);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Deliver(bytes).get(), S_OK);
        EXPECT_EQ(CEvent::WaitForAny({&ready}, 10s), 0);
    }
    filter.SetGrabAll(false);
}

TEST_F(FilterTest, StoppingTheGraphGivesAHeldSampleBack) {
    filter.SetStreaming(true);
    const std::vector<uint8_t> bytes = {1, 2};
    auto held = Deliver(bytes);
    EXPECT_EQ(held.wait_for(30ms), std::future_status::timeout);
    filter.SetStreaming(false);
    EXPECT_EQ(held.get(), S_FALSE);
    int32_t length = -1;
    filter.GetDataLength(false, &length);
    EXPECT_EQ(length, 0);
}

} // namespace
} // namespace vx::test
