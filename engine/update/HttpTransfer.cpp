#include "HttpTransfer.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace brisklet::update {

namespace {

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

struct TransferContext {
    CURL* easy = nullptr;
    const HttpBodySink* sink = nullptr;
    std::stop_token stop;
    bool stoppedInCallback = false;
    bool sinkRefused = false;
};

HttpResponseHead readHead(CURL* easy)
{
    HttpResponseHead head;
    long status = 0;
    if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        head.status = status;
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        head.contentLength = length;
    return head;
}

size_t writeBody(char* data, size_t size, size_t count, void* user)
{
    auto* context = static_cast<TransferContext*>(user);
    const size_t bytes = size * count;
    if (context->stop.stop_requested()) {
        context->stoppedInCallback = true;
        return bytes == 0 ? 1 : 0; // any other count than `bytes` aborts the transfer
    }
    if (!(*context->sink)(readHead(context->easy), std::string_view(data, bytes))) {
        context->sinkRefused = true;
        return bytes == 0 ? 1 : 0;
    }
    return bytes;
}

// Called by libcurl at least once a second, also while no data arrives.
int checkStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* context = static_cast<TransferContext*>(user);
    if (context->stop.stop_requested()) {
        context->stoppedInCallback = true;
        return 1;
    }
    return 0;
}

} // namespace

HttpOutcome httpGet(const std::string& url, const AppUpdate::TransferTimeouts& timeouts,
                    std::stop_token stop, const HttpBodySink& sink)
{
    initialiseCurlOnce();
    HttpOutcome outcome;

    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        outcome.curlCode = CURLE_FAILED_INIT;
        outcome.errorText = "the network library could not be initialised";
        return outcome;
    }

    TransferContext context;
    context.easy = easy.get();
    context.sink = &sink;
    context.stop = stop;

    // Ask caches on the way to fetch from the origin: a stale manifest would hide a release.
    curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    std::unique_ptr<curl_slist, ListDeleter> headerList(headers);

    char errorBuffer[CURL_ERROR_SIZE] = {};
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, headerList.get());
    curl_easy_setopt(e, CURLOPT_USERAGENT, "Brisklet-Update/1");
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts.connect.count() * 1000));
    // An idle time-out: below one byte per second for that long ends the transfer; a slow but
    // moving transfer goes on as long as it takes.
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts.idle.count()));
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, writeBody);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &context);
    curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, checkStop);
    curl_easy_setopt(e, CURLOPT_XFERINFODATA, &context);

    if (curl_multi_add_handle(multi.get(), e) != CURLM_OK) {
        outcome.curlCode = CURLE_FAILED_INIT;
        outcome.errorText = "the network library could not start the transfer";
        return outcome;
    }

    {
        // Declared after the handles so that it is gone before they are cleaned up.
        CURLM* m = multi.get();
        std::stop_callback wake(stop, [m] { curl_multi_wakeup(m); });
        int running = 1;
        while (running > 0) {
            if (stop.stop_requested()) {
                outcome.stopped = true;
                break;
            }
            if (curl_multi_perform(m, &running) != CURLM_OK) {
                outcome.curlCode = CURLE_FAILED_INIT;
                break;
            }
            if (running > 0 && curl_multi_poll(m, nullptr, 0, 1000, nullptr) != CURLM_OK) {
                outcome.curlCode = CURLE_FAILED_INIT;
                break;
            }
        }
    }

    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == e && outcome.curlCode == CURLE_OK)
            outcome.curlCode = message->data.result;
    }
    outcome.head = readHead(e);
    outcome.stopped = outcome.stopped || context.stoppedInCallback;
    outcome.sinkRefused = context.sinkRefused;
    if (outcome.curlCode != CURLE_OK) {
        outcome.errorText = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(CURLcode(outcome.curlCode));
        while (!outcome.errorText.empty() && (outcome.errorText.back() == '\n' || outcome.errorText.back() == '.'))
            outcome.errorText.pop_back();
    }
    curl_multi_remove_handle(multi.get(), e);
    return outcome;
}

std::string transportFailureText(const HttpOutcome& outcome)
{
    if (outcome.curlCode == CURLE_OPERATION_TIMEDOUT)
        return "The connection to the update server timed out.";
    if (outcome.curlCode == CURLE_COULDNT_RESOLVE_HOST)
        return "The update server could not be found (" + outcome.errorText + ").";
    return "The download failed: " + outcome.errorText + ".";
}

} // namespace brisklet::update
