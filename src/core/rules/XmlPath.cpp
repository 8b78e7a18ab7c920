#include "core/rules/XmlLibrary_p.h"

#include <libxml/xpath.h>

#include <QList>

#include <cstring>

namespace XmlLibrary {

bool isSimplePath(const QString& path)
{
    for (QChar ch : path) {
        if (ch == QLatin1Char('/') || ch == QLatin1Char('-') || ch == QLatin1Char('_') ||
            ch == QLatin1Char('.') || ch.isLetterOrNumber())
            continue;
        return false;
    }
    // "." and ".." are steps of XPath, not element names.
    for (const QString& step : path.split(QLatin1Char('/'))) {
        if (step == QLatin1String(".") || step == QLatin1String(".."))
            return false;
    }
    return !path.contains(QLatin1String("//")) && !path.isEmpty() && path != QLatin1String("/");
}

// First node in document order that matches the remaining steps below `from`.
xmlNodePtr findFirst(xmlNodePtr from, const QList<QByteArray>& steps, qsizetype step)
{
    for (xmlNodePtr child = from->children; child; child = child->next) {
        // Steps are element names, which hold no NUL.
        if (child->type != XML_ELEMENT_NODE || child->ns != nullptr ||
            std::strcmp(steps[step].constData(), reinterpret_cast<const char*>(child->name)) != 0)
            continue;
        if (step + 1 == steps.size())
            return child;
        if (xmlNodePtr found = findFirst(child, steps, step + 1))
            return found;
    }
    return nullptr;
}

xmlNodePtr evaluateXPath(xmlNodePtr context, const QString& path)
{
    const ErrorCapture errors;
    std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> xpath(
        xmlXPathNewContext(context->doc), xmlXPathFreeContext);
    if (!xpath)
        return nullptr;
    xpath->node = context;
    std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path.toUtf8().constData()),
                               xpath.get()),
        xmlXPathFreeObject);
    if (!result || result->type != XPATH_NODESET || xmlXPathNodeSetIsEmpty(result->nodesetval))
        return nullptr;
    return xmlXPathNodeSetItem(result->nodesetval, 0);
}

} // namespace XmlLibrary
