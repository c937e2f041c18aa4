#pragma once
// The observer that carries a background change from the skin chooser to the main window.

#include <cstdint>
#include <map>
#include <string>

namespace gmd::app {

struct SkinChangedParam {
    bool colour = false;  // true: the background is a colour
    uint32_t argb = 0;
    std::string image;  // image path otherwise
};

template <typename ReturnT, typename ParamT>
class ReceiverImpl;

// Holds receivers under a running count; broadcasts hand each a copy in key order.
template <typename ReturnT, typename ParamT>
class ObserverImpl {
  public:
    virtual ~ObserverImpl() = default;
    virtual void AddReceiver(ReceiverImpl<ReturnT, ParamT>* receiver) {
        if (receiver == nullptr) {
            return;
        }
        receivers_[count_] = receiver;
        receiver->AddObserver(this);
        ++count_;
    }
    virtual void RemoveReceiver(ReceiverImpl<ReturnT, ParamT>* receiver) {
        for (auto it = receivers_.begin(); it != receivers_.end(); ++it) {
            if (it->second == receiver) {
                receivers_.erase(it);
                return;
            }
        }
    }
    virtual ReturnT Broadcast(ParamT param) {
        for (auto& [key, receiver] : receivers_) {
            receiver->Receive(param);
        }
        return ReturnT{};
    }
    virtual ReturnT Notify(ParamT param) {
        for (auto& [key, receiver] : receivers_) {
            receiver->Respond(param, this);
        }
        return ReturnT{};
    }
    size_t ReceiverCount() const { return receivers_.size(); }

  private:
    std::map<int, ReceiverImpl<ReturnT, ParamT>*> receivers_;
    int count_ = 0;
};

template <typename ReturnT, typename ParamT>
class ReceiverImpl {
  public:
    virtual ~ReceiverImpl() = default;
    virtual int AddObserver(ObserverImpl<ReturnT, ParamT>* observer) {
        observers_[count_] = observer;
        return ++count_;
    }
    virtual void RemoveObserver() {
        for (auto& [key, observer] : observers_) {
            observer->RemoveReceiver(this);
        }
    }
    virtual ReturnT Receive(ParamT) { return ReturnT{}; }
    virtual ReturnT Respond(ParamT, ObserverImpl<ReturnT, ParamT>*) { return ReturnT{}; }

  private:
    std::map<int, ObserverImpl<ReturnT, ParamT>*> observers_;
    int count_ = 0;
};

// The process-wide subject, created on first use and never destroyed.
ObserverImpl<int, SkinChangedParam>& SkinChangedSubject();

}  // namespace gmd::app
