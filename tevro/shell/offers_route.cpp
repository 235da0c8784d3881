#include "tevro/shell/offers_route.h"

#include <algorithm>

#include <QPointer>

#include "quorvel-kit/offers/offers_model.h"
#include "tevro/automation/window_lookup.h"
#include "tevro/shell/sidebar_offers_state.h"

namespace tevro {

Json OffersRoute::status(const SidebarOffersState& state) {
    const quorvel::OffersModel& model = state.model();
    Json page = Json::array();
    for (const quorvel::Offer& offer : model.pageOffers())
        page.push_back(offer.id);
    Json offers = Json::array();
    for (const quorvel::Offer& offer : model.offers())
        offers.push_back(Json{{"id", offer.id},
                              {"url", offer.ctaURL.toString(QUrl::FullyEncoded).toStdString()}});
    const auto windows = WindowLookup::windows();
    return Json{{"visible", !model.offers().empty()},
                {"presented", state.isPresented()},
                {"refreshing", state.isRefreshing()},
                {"sheetCount", std::ranges::count_if(windows, WindowLookup::isSheet)},
                {"page", model.pageIndex()},
                {"pages", model.pageCount()},
                {"pageOffers", std::move(page)},
                {"offers", std::move(offers)}};
}

void OffersRoute::run(SidebarOffersState& state, const CommandLayer::QueryMap& query,
                      CommandLayer::Reply reply) {
    QPointer<SidebarOffersState> guarded(&state);
    auto answer = [guarded, reply] { reply(guarded ? status(*guarded) : Json::object()); };
    auto action = query.find("action");
    if (action == query.end())
        return answer();
    const std::string& name = action->second;
    quorvel::OffersModel& model = state.model();
    if (name == "refresh")
        return state.refresh(true, answer);
    if (name == "present")
        return state.present(answer);
    if (name == "close")
        state.close();
    else if (name == "next")
        model.nextPage();
    else if (name == "previous")
        model.previousPage();
    else if (name == "hide") {
        auto id = query.find("id");
        if (id != query.end()) {
            const auto& offers = model.offers();
            auto offer = std::ranges::find(offers, id->second, &quorvel::Offer::id);
            if (offer != offers.end())
                model.hide(quorvel::Offer(*offer));
        }
    }
    answer();
}

} // namespace tevro
