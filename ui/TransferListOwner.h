#pragma once

// What the list commands (CUser_button) need from the main window that owns the transfer
// list and its engine. Rows and records are removed together by the table itself; the
// window keeps the indexes that point into it and recomputes what it shows.
class TransferListOwner {
public:
    virtual ~TransferListOwner() = default;

    // Index of the record being (or last) transferred; negative when none.
    virtual int currentIndex() const = 0;
    virtual void setCurrentIndex(int index) = 0;

    // Record the user stopped (download client); -1 when none. The upload client keeps none.
    virtual int resumeIndex() const { return -1; }
    virtual void setResumeIndex(int) {}

    // Totals, bars and status line after marked rows were deleted.
    virtual void recomputeAfterDelete() = 0;
    // The same after completed rows were removed (the listing's refresh).
    virtual void recomputeAfterListing() = 0;
};
