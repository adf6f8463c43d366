#include "extension/ExitStatus.hpp"

#include "extension/Logger.hpp"
#include "extension/PathError.hpp"
#include "extension/config/Config.hpp"

namespace vorla::extension {

StartupFailure startupFailure(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Logger::InitErr& initErr) {
        if (initErr.kind() == Logger::InitErr::Kind::create) {
            return {"could not setup logger " + initErr.label() + ": " + initErr.err(),
                    ExitStatus::loggerNotCreated};
        }
        return {std::string("unhandled error occured: ") + initErr.what(),
                ExitStatus::unhandledError};
    } catch (const PathError& pathError) {
        return {"could create directory: " + pathError.path(), ExitStatus::directoryNotCreated};
    } catch (const Config::FileErr& fileErr) {
        if (fileErr.kind() == Config::FileErr::Kind::encoding) {
            return {"could not encode config file: " + fileErr.err(), ExitStatus::configNotSaved};
        }
        return {"could not write config file: " + fileErr.url()->description(),
                ExitStatus::configNotSaved};
    } catch (const std::exception& other) {
        return {std::string("unhandled error occured: ") + other.what(),
                ExitStatus::unhandledError};
    } catch (...) {
        return {"unhandled error occured: unknown error", ExitStatus::unhandledError};
    }
}

} // namespace vorla::extension
