#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/FileSystem.h"

// Another file system (the real one, say) with a hook before the operations by which the
// cleaner changes what it walks: "delete" (a file of a folder), "write" and "flush" (a file
// opened for overwriting), each with the path of the file. The hook may change the file
// system there and then, and answers whether the operation goes on: one it stops fails as
// a refused one would.
class CHookedFileSystem final : public IFileSystem {
public:
    using FnBefore = std::function<bool(std::string_view strOp, const std::string& path)>;

    CHookedFileSystem(IFileSystem& files, FnBefore fnBefore)
        : m_Files(files), m_fnBefore(std::move(fnBefore)) {}

    EOpenResult OpenDataFolder(const SDataFolder& folder,
                               std::unique_ptr<IFolder>* pFolder) override {
        const EOpenResult result = m_Files.OpenDataFolder(folder, pFolder);
        if (*pFolder) {
            *pFolder = std::make_unique<CFolder>(std::move(*pFolder), m_fnBefore);
        }
        return result;
    }
    bool DeleteFile(const std::string& path) override { return m_Files.DeleteFile(path); }

private:
    class CFile final : public IOverwriteFile {
    public:
        CFile(std::unique_ptr<IOverwriteFile> pFile, std::string path, const FnBefore& fnBefore)
            : m_pFile(std::move(pFile)), m_path(std::move(path)), m_fnBefore(fnBefore) {}

        std::uint64_t GetSize() override { return m_pFile->GetSize(); }
        std::uint64_t GetLinkCount() override { return m_pFile->GetLinkCount(); }
        bool Seek(std::uint64_t nOffset) override { return m_pFile->Seek(nOffset); }
        bool Write(const void* pData, std::size_t nSize) override {
            return m_fnBefore("write", m_path) && m_pFile->Write(pData, nSize);
        }
        bool Flush() override { return m_fnBefore("flush", m_path) && m_pFile->Flush(); }

    private:
        std::unique_ptr<IOverwriteFile> m_pFile;
        std::string m_path;
        const FnBefore& m_fnBefore;
    };

    class CFolder final : public IFolder {
    public:
        CFolder(std::unique_ptr<IFolder> pFolder, const FnBefore& fnBefore)
            : m_pFolder(std::move(pFolder)), m_fnBefore(fnBefore) {}

        const std::string& GetPath() const override { return m_pFolder->GetPath(); }
        bool List(std::vector<SFolderEntry>* entries) override { return m_pFolder->List(entries); }
        EOpenResult OpenFolder(const std::string& strName,
                               std::unique_ptr<IFolder>* pFolder) override {
            const EOpenResult result = m_pFolder->OpenFolder(strName, pFolder);
            if (*pFolder) {
                *pFolder = std::make_unique<CFolder>(std::move(*pFolder), m_fnBefore);
            }
            return result;
        }
        bool ClearReadOnly() override { return m_pFolder->ClearReadOnly(); }
        bool ClearFileReadOnly(const std::string& strName) override {
            return m_pFolder->ClearFileReadOnly(strName);
        }
        bool DeleteFile(const std::string& strName) override {
            return m_fnBefore("delete", GetPath() + "/" + strName) &&
                   m_pFolder->DeleteFile(strName);
        }
        bool RemoveFolder(const std::string& strName) override {
            return m_pFolder->RemoveFolder(strName);
        }
        EOpenResult OpenForOverwrite(const std::string& strName,
                                     std::unique_ptr<IOverwriteFile>* pFile) override {
            const EOpenResult result = m_pFolder->OpenForOverwrite(strName, pFile);
            if (*pFile) {
                *pFile = std::make_unique<CFile>(std::move(*pFile), GetPath() + "/" + strName,
                                                 m_fnBefore);
            }
            return result;
        }

    private:
        std::unique_ptr<IFolder> m_pFolder;
        const FnBefore& m_fnBefore;
    };

    IFileSystem& m_Files;
    FnBefore m_fnBefore;
};
