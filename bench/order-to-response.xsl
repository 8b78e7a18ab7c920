<?xml version="1.0" encoding="UTF-8"?>
<!-- The simple transform the benchmark compares with: an order answered as it stands,
     every line confirmed as ordered. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/Document-Order">
    <Document-OrderResponse>
      <OrderResponse-Header>
        <OrderResponseNumber><xsl:value-of select="Order-Header/OrderNumber"/></OrderResponseNumber>
        <OrderResponseDate><xsl:value-of select="Order-Header/OrderDate"/></OrderResponseDate>
        <ExpectedDeliveryDate><xsl:value-of select="Order-Header/ExpectedDeliveryDate"/></ExpectedDeliveryDate>
        <ExpectedDeliveryTime><xsl:value-of select="Order-Header/ExpectedDeliveryTime"/></ExpectedDeliveryTime>
        <OrderNumber><xsl:value-of select="Order-Header/OrderNumber"/></OrderNumber>
        <OrderDate><xsl:value-of select="Order-Header/OrderDate"/></OrderDate>
        <ResponseType>29</ResponseType>
        <Remarks/>
      </OrderResponse-Header>
      <OrderResponse-Parties>
        <Buyer><ILN><xsl:value-of select="Order-Parties/Buyer/ILN"/></ILN></Buyer>
        <Seller><ILN><xsl:value-of select="Order-Parties/Seller/ILN"/></ILN></Seller>
        <DeliveryPoint><ILN><xsl:value-of select="Order-Parties/DeliveryPoint/ILN"/></ILN></DeliveryPoint>
      </OrderResponse-Parties>
      <OrderResponse-Lines>
        <xsl:apply-templates select="Order-Lines/Line/Line-Item"/>
      </OrderResponse-Lines>
      <OrderResponse-Summary>
        <TotalLines><xsl:value-of select="count(Order-Lines/Line)"/></TotalLines>
      </OrderResponse-Summary>
    </Document-OrderResponse>
  </xsl:template>

  <xsl:template match="Line-Item">
    <Line>
      <Line-Item>
        <LineNumber><xsl:value-of select="LineNumber"/></LineNumber>
        <EAN><xsl:value-of select="EAN"/></EAN>
        <LineItemStatus>5</LineItemStatus>
        <SupplierItemCode><xsl:value-of select="SupplierItemCode"/></SupplierItemCode>
        <BuyerItemCode><xsl:value-of select="BuyerItemCode"/></BuyerItemCode>
        <ItemDescription><xsl:value-of select="ItemDescription"/></ItemDescription>
        <OrderedQuantity><xsl:value-of select="format-number(OrderedQuantity, '0.000')"/></OrderedQuantity>
        <QuantityToBeDelivered><xsl:value-of select="format-number(OrderedQuantity, '0.000')"/></QuantityToBeDelivered>
        <UnitOfMeasure><xsl:value-of select="UnitOfMeasure"/></UnitOfMeasure>
        <OrderedUnitNetPrice><xsl:value-of select="format-number(OrderedUnitNetPrice, '0.000')"/></OrderedUnitNetPrice>
      </Line-Item>
    </Line>
  </xsl:template>
</xsl:stylesheet>
