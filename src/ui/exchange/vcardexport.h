#pragma once

class Query;
class QWidget;

// 导出vCard: the cards of the list, in its current filter and order, as one vCard file in the
// export folder ("名片 2008-03-07 142501.vcf"); says where the file is. The list's cursor
// does not move. Throws EngineError.
void exportVCards(QWidget* parent, const Query* list);
